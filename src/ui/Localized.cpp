#include "ui/Localized.h"

#include <QLocale>
#include <QTranslator>

namespace pressling::ui {

void installTranslations() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(), "pressling", "_", ":/i18n") ||
        translator->load(":/i18n/pressling_en")) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace pressling::ui
