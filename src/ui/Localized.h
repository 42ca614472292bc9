#pragma once

#include <QCoreApplication>
#include <QString>

#include <string>
#include <string_view>

namespace pressling::ui {

// Every text the user sees goes through here: the English text is the key, looked up in the
// "Pressling" context of the installed translations, and shown as it is when no translation
// has it. Screens call Localized::tr("Loading...") with a literal so that lupdate finds the key;
// texts that come from the core as constants go through key(). Main thread.
class Localized {
    Q_DECLARE_TR_FUNCTIONS(Pressling)

public:
    static QString key(std::string_view text) {
        const std::string terminated(text);
        return QCoreApplication::translate("Pressling", terminated.c_str());
    }
};

// Installs the translation for the system's language from the application's resources, or the
// English one (which corrects the wording of a few keys) when there is none for it. Call once,
// after the QApplication exists.
void installTranslations();

}  // namespace pressling::ui
