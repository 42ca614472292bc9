#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace pressling::ui {

// The transitions between screens that live in different layers. A screen performs a
// transition by its identifier ("showInfo"); the application registers, at start-up, what each
// identifier opens, so that a screen never includes the screen it leads to. Main thread.
class Storyboard {
public:
    // Opens the destination of one transition, presented from source (the screen performing
    // it, never null).
    using Performer = std::function<void(QWidget* source)>;

    // Makes performer the destination of identifier, replacing an earlier one; an empty
    // performer removes it.
    static void registerSegue(const QString& identifier, Performer performer);

    // Runs the performer of identifier and returns true; without one, logs the fact and
    // returns false, and nothing opens.
    static bool performSegue(const QString& identifier, QWidget* source);
};

}  // namespace pressling::ui
