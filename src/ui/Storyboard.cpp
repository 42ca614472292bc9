#include "ui/Storyboard.h"

#include "platform/Log.h"

#include <QHash>

namespace pressling::ui {
namespace {

QHash<QString, Storyboard::Performer>& performers() {
    static QHash<QString, Storyboard::Performer> table;
    return table;
}

}  // namespace

void Storyboard::registerSegue(const QString& identifier, Performer performer) {
    if (performer) {
        performers().insert(identifier, std::move(performer));
    } else {
        performers().remove(identifier);
    }
}

bool Storyboard::performSegue(const QString& identifier, QWidget* source) {
    const auto found = performers().constFind(identifier);
    if (found == performers().constEnd()) {
        log::warning("no screen is registered for the transition " + identifier.toStdString());
        return false;
    }
    // A copy: the performer may register transitions itself.
    const Performer performer = found.value();
    performer(source);
    return true;
}

}  // namespace pressling::ui
