// The main window's holds: the commands and controls disabled while an operation, a
// batch pass or batch mode runs, each given back its own state when the last hold on
// it is released.
#include "Unit1.h"

#include <QAction>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolBar>

using namespace korvat;

namespace {

using Held = std::vector<QObject *>;

// Holds nest: an action or widget held by several holders at once (an operation and
// batch mode, a batch pass and the toggle released during it) gets its own state back
// when the last of them lets go, in whichever order they do.
constexpr char kHolds[] = "korvatHolds";
constexpr char kOwnEnabled[] = "korvatOwnEnabled";

bool ownEnabled(const QObject *object) {
    if (const auto *a = qobject_cast<const QAction *>(object))
        return a->isEnabled();
    // A widget's own state, not what a disabled parent makes of it.
    return !static_cast<const QWidget *>(object)->testAttribute(Qt::WA_ForceDisabled);
}

void setEnabledOf(QObject *object, bool enabled) {
    if (auto *a = qobject_cast<QAction *>(object))
        a->setEnabled(enabled);
    else
        static_cast<QWidget *>(object)->setEnabled(enabled);
}

// Disables the action or widget until every hold on it is released.
void hold(Held &held, QObject *object) {
    if (!qobject_cast<QAction *>(object) && !object->isWidgetType())
        return;
    const int holds = object->property(kHolds).toInt();
    if (holds == 0)
        object->setProperty(kOwnEnabled, ownEnabled(object));
    object->setProperty(kHolds, holds + 1);
    setEnabledOf(object, false);
    held.push_back(object);
}

// Disables every widget under parent but kept: the parents on the way to kept stay
// enabled, their other children do not.
void holdAllBut(Held &held, QWidget *parent, QWidget *kept) {
    for (QWidget *w : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w == kept)
            continue;
        if (w->isAncestorOf(kept))
            holdAllBut(held, w, kept);
        else
            hold(held, w);
    }
}

void release(Held &held) {
    for (QObject *object : held) {
        const int holds = object->property(kHolds).toInt() - 1;
        object->setProperty(kHolds, holds);
        if (holds == 0)
            setEnabledOf(object, object->property(kOwnEnabled).toBool());
    }
    held.clear();
}

} // namespace

void TForm1::setCommandsAvailable(bool available) {
    if (available) {
        // The operation is over, however it ended (a failure, a stop, an upgrade): its
        // bars go with it.
        m_host->setProgressValue(0);
        m_host->setProgressVisible(false);
        release(m_heldCommands);
        return;
    }
    release(m_heldCommands); // holds of an earlier call, were there one, are not kept twice
    for (QAction *a : m_operationCommands)
        hold(m_heldCommands, a);
    for (QWidget *w : std::initializer_list<QWidget *>{GroupBox1, GroupBox4})
        hold(m_heldCommands, w);
}

// A pass of batch mode. The chip lists and the address range stay held while it runs,
// also when the toggle is released meanwhile: the pass reads the buffer and the range
// to its end.
std::optional<PassOutcome> TForm1::runPass() {
    Held held;
    hold(held, GroupBox1);
    hold(held, GroupBox4);
    beginCommand();
    const auto outcome = autoPass({}); // another chip in the socket fails the pass
    endCommand();
    release(held);
    return outcome;
}

// Every button of the toolbar but the toggle itself, and everything on the main panel
// but the log, which stays readable.
void TForm1::holdForBatch(bool on) {
    if (!on) {
        release(m_heldForBatch);
        return;
    }
    if (!m_heldForBatch.empty())
        return; // pressed again before the running loop saw the release
    for (QAction *a : ToolBar1->actions())
        if (!a->isSeparator() && a->objectName() != QLatin1String("ToolBulk") &&
            a->objectName() != QLatin1String("ToolStop"))
            hold(m_heldForBatch, a);
    // Detection would choose another chip under the running batch.
    hold(m_heldForBatch, findChild<QAction *>(QStringLiteral("MenuDetect")));
    holdAllBut(m_heldForBatch, centralWidget(), RichEdit1);
}
