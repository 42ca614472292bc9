<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>InfoViewController</name>
    <message>
        <source>Welcome to Pressling</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Pressling gathers the newest articles of the sites you follow, newest first, grouped by day. Articles that the last update brought carry a blue dot.

There is nothing to read yet: you have no subscriptions, or none of them has articles. Choose File → Add Feed… (or + above the list) to find a feed in the catalog or type its address, or open a feed link with Pressling, and its articles appear here after the next update.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>Pressling</name>
    <message>
        <source>Link added</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>RSS not found</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>We will check your link in order yo verify if we can support it. Maybe it will work in the next update!</source>
        <translation>We will check your link to see whether we can support it. Maybe it will work in the next update!</translation>
    </message>
    <message>
        <source>Okey</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Something was wrong while the sources were being loaded, check the Internet connection and try again.</source>
        <translation>Something went wrong while the sources were loading. Check the Internet connection and try again.</translation>
    </message>
    <message>
        <source>No article selected</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Share</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>This article has no page</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Previous...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Reload data</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Loading...</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Updated at</source>
        <translation type="unfinished" />
    </message>
    <message numerus="yes">
        <source>feeds with errors</source>
        <translation><numerusform>%n feed with errors</numerusform><numerusform>%n feeds with errors</numerusform></translation>
    </message>
    <message>
        <source>No internet connection</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>articles loaded</source>
        <translation>articles loaded</translation>
    </message>
    <message>
        <source>Copy Link</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Open in Browser</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Send by E-mail</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Articles</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Show Articles</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Hide Articles</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>New Window</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The feed works, but the list of subscriptions could not be saved. Please try again.</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Add Feed</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Add a feed by its address</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Enter text to start searching</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>There are no RSS in our list, try to add new it manually</source>
        <translation>There are no such feeds in our list yet. Try adding one by its address.</translation>
    </message>
    <message>
        <source>New RRS feed</source>
        <translation>New RSS feed</translation>
    </message>
    <message>
        <source>Enter RSS URL</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Subscribe</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Add Feed…</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Import Subscriptions…</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Export Subscriptions…</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>OPML files (*.opml *.xml)</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Added %1 of %2 feeds</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>These could not be added:</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Add to Pressling</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Your link have been process succesfully and it will be available in your feed list</source>
        <translation>Your link has been processed successfully and will be available in your feed list</translation>
    </message>
    <message>
        <source>Link is not valid</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The link could not be downloaded: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>The link could not be added to your feed list: %1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>No link</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Drop a feed's link on this window, or start Feedgrab with one: feedgrab URL</source>
        <translation type="unfinished" />
    </message>
</context>
</TS>