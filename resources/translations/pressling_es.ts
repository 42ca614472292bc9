<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>InfoViewController</name>
    <message>
        <source>Welcome to Pressling</source>
        <translation>Te damos la bienvenida a Pressling</translation>
    </message>
    <message>
        <source>Pressling gathers the newest articles of the sites you follow, newest first, grouped by day. Articles that the last update brought carry a blue dot.

There is nothing to read yet: you have no subscriptions, or none of them has articles. Choose File → Add Feed… (or + above the list) to find a feed in the catalog or type its address, or open a feed link with Pressling, and its articles appear here after the next update.</source>
        <translation>Pressling reúne los artículos más recientes de los sitios que sigues, del más nuevo al más antiguo y agrupados por día. Los artículos que trajo la última actualización llevan un punto azul.

Todavía no hay nada que leer: no tienes suscripciones, o ninguna tiene artículos. Elige Archivo → Añadir canal… (o + sobre la lista) para buscar un canal en el catálogo o escribir su dirección, o abre con Pressling el enlace de un canal, y sus artículos aparecerán aquí tras la siguiente actualización.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>On a touch screen, pull the list down to update.</source>
        <translation>En una pantalla táctil, tira de la lista hacia abajo para actualizar.</translation>
    </message>
</context>
<context>
    <name>Pressling</name>
    <message>
        <source>Link added</source>
        <translation>Enlace añadido</translation>
    </message>
    <message>
        <source>RSS not found</source>
        <translation>RSS no encontrado</translation>
    </message>
    <message>
        <source>We will check your link in order yo verify if we can support it. Maybe it will work in the next update!</source>
        <translation>Revisaremos tu enlace para ver si podemos admitirlo. ¡Quizá funcione en la próxima actualización!</translation>
    </message>
    <message>
        <source>Okey</source>
        <translation>Vale</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Something was wrong while the sources were being loaded, check the Internet connection and try again.</source>
        <translation>Algo falló al cargar las fuentes. Comprueba la conexión a Internet y vuelve a intentarlo.</translation>
    </message>
    <message>
        <source>No article selected</source>
        <translation>Ningún artículo seleccionado</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Compartir</translation>
    </message>
    <message>
        <source>This article has no page</source>
        <translation>Este artículo no tiene página</translation>
    </message>
    <message>
        <source>Previous...</source>
        <translation>Anteriores...</translation>
    </message>
    <message>
        <source>Reload data</source>
        <translation>Recargar datos</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>Cargando...</translation>
    </message>
    <message>
        <source>Updated at</source>
        <translation>Actualizado a las</translation>
    </message>
    <message numerus="yes">
        <source>feeds with errors</source>
        <translation><numerusform>%n canal con errores</numerusform><numerusform>%n canales con errores</numerusform></translation>
    </message>
    <message>
        <source>No internet connection</source>
        <translation>Sin conexión a Internet</translation>
    </message>
    <message>
        <source>articles loaded</source>
        <translation>artículos cargados</translation>
    </message>
    <message>
        <source>Copy Link</source>
        <translation>Copiar enlace</translation>
    </message>
    <message>
        <source>Open in Browser</source>
        <translation>Abrir en el navegador</translation>
    </message>
    <message>
        <source>Send by E-mail</source>
        <translation>Enviar por correo</translation>
    </message>
    <message>
        <source>Articles</source>
        <translation>Artículos</translation>
    </message>
    <message>
        <source>Show Articles</source>
        <translation>Mostrar artículos</translation>
    </message>
    <message>
        <source>Hide Articles</source>
        <translation>Ocultar artículos</translation>
    </message>
    <message>
        <source>New Window</source>
        <translation>Nueva ventana</translation>
    </message>
    <message>
        <source>The feed works, but the list of subscriptions could not be saved. Please try again.</source>
        <translation>El canal funciona, pero no se ha podido guardar la lista de suscripciones. Inténtalo de nuevo.</translation>
    </message>
    <message>
        <source>Add Feed</source>
        <translation>Añadir canal</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Add a feed by its address</source>
        <translation>Añadir un canal por su dirección</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Hecho</translation>
    </message>
    <message>
        <source>Enter text to start searching</source>
        <translation>Escribe algo para empezar a buscar</translation>
    </message>
    <message>
        <source>There are no RSS in our list, try to add new it manually</source>
        <translation>No hay canales así en nuestra lista. Prueba a añadir uno por su dirección.</translation>
    </message>
    <message>
        <source>New RRS feed</source>
        <translation>Nuevo canal RSS</translation>
    </message>
    <message>
        <source>Enter RSS URL</source>
        <translation>Dirección del canal RSS</translation>
    </message>
    <message>
        <source>Subscribe</source>
        <translation>Suscribirse</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtrar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Add Feed…</source>
        <translation>Añadir canal…</translation>
    </message>
    <message>
        <source>Import Subscriptions…</source>
        <translation>Importar suscripciones…</translation>
    </message>
    <message>
        <source>Export Subscriptions…</source>
        <translation>Exportar suscripciones…</translation>
    </message>
    <message>
        <source>Add to Reading List</source>
        <translation>Añadir a la lista de lectura</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Manage feeds</source>
        <translation>Gestionar canales</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Archivo</translation>
    </message>
    <message>
        <source>OPML files (*.opml *.xml)</source>
        <translation>Archivos OPML (*.opml *.xml)</translation>
    </message>
    <message>
        <source>Added %1 of %2 feeds</source>
        <translation>Se han añadido %1 de %2 canales</translation>
    </message>
    <message>
        <source>These could not be added:</source>
        <translation>No se han podido añadir:</translation>
    </message>
    <message>
        <source>Add to Pressling</source>
        <translation>Añadir a Pressling</translation>
    </message>
    <message>
        <source>Your link have been process succesfully and it will be available in your feed list</source>
        <translation>Tu enlace se ha procesado correctamente y aparecerá en tu lista de canales</translation>
    </message>
    <message>
        <source>Link is not valid</source>
        <translation>El enlace no es válido</translation>
    </message>
    <message>
        <source>The link could not be downloaded: %1</source>
        <translation>No se pudo descargar el enlace: %1</translation>
    </message>
    <message>
        <source>The link could not be added to your feed list: %1</source>
        <translation>No se pudo añadir el enlace a tu lista de canales: %1</translation>
    </message>
    <message>
        <source>No link</source>
        <translation>Ningún enlace</translation>
    </message>
    <message>
        <source>Drop a feed's link on this window, or start Feedgrab with one: feedgrab URL</source>
        <translation>Suelta el enlace de un canal en esta ventana, o abre Feedgrab con él: feedgrab URL</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Cerrar ventana</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Ver</translation>
    </message>
    <message>
        <source>Reading List</source>
        <translation>Lista de lectura</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ayuda</translation>
    </message>
    <message>
        <source>Welcome to Pressling</source>
        <translation>Te damos la bienvenida a Pressling</translation>
    </message>
    <message>
        <source>Keyboard:</source>
        <translation>Teclado:</translation>
    </message>
    <message>
        <source>On a touch screen, pull the list down to update.</source>
        <translation>En una pantalla táctil, tira de la lista hacia abajo para actualizar.</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Título</translation>
    </message>
    <message>
        <source>Feed</source>
        <translation>Canal</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Añadido</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>Links</source>
        <translation>Enlaces</translation>
    </message>
    <message>
        <source>The last download failed: %1</source>
        <translation>La última descarga falló: %1</translation>
    </message>
    <message>
        <source>The last download failed</source>
        <translation>La última descarga falló</translation>
    </message>
    <message>
        <source>Add source</source>
        <translation>Añadir fuente</translation>
    </message>
    <message>
        <source>Sources</source>
        <translation>Fuentes</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Todo</translation>
    </message>
    <message>
        <source>Show Sources</source>
        <translation>Mostrar fuentes</translation>
    </message>
    <message>
        <source>Hide Sources</source>
        <translation>Ocultar fuentes</translation>
    </message>
</context>
</TS>