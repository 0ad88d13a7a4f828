#include "platform/widgetrules.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcutEvent>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QWheelEvent>

namespace widgetrules {

namespace {

constexpr char kAutoSize[] = "_tm_autoSize";
constexpr char kStoredPlace[] = "_tm_storedPlace";
constexpr char kHeld[] = "_tm_fitHeld";

// Opaque labels stored in one place are a stack of which one is shown in front: the others,
// possibly wider, must not show beside it. Every member takes the widest member's width.
int stackWidth(const QLabel* label, int own)
{
    const QRect place = label->property(kStoredPlace).toRect();
    if (!label->autoFillBackground() || !place.isValid() || !label->parentWidget())
        return own;
    int widest = own;
    const auto siblings = label->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (const QLabel* other : siblings) {
        if (other != label && other->autoFillBackground() && autoSize(other) &&
            other->property(kStoredPlace).toRect() == place)
            widest = qMax(widest, other->sizeHint().width());
    }
    return widest;
}

// Qt tells a widget nothing when a child label's text changes; it only invalidates the
// parent's layout, at once and also while the parent is hidden. This layout places nothing:
// it takes that moment to size the parent's auto-sized labels, as the caption setter of the
// original labels did.
class LabelFitter : public QLayout
{
public:
    explicit LabelFitter(QWidget* parent) : QLayout(parent)
    {
        setContentsMargins(0, 0, 0, 0);
        setSizeConstraint(QLayout::SetNoConstraint);
    }

    void invalidate() override
    {
        QLayout::invalidate();
        const auto labels = parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        for (QLabel* label : labels) {
            if (autoSize(label) && !label->property(kHeld).toBool())
                fitLabel(label);
        }
    }

    void addItem(QLayoutItem* item) override { delete item; }
    int count() const override { return 0; }
    QLayoutItem* itemAt(int) const override { return nullptr; }
    QLayoutItem* takeAt(int) override { return nullptr; }
    QSize sizeHint() const override { return {}; }
};

class FixedHeightDelegate : public QStyledItemDelegate
{
public:
    FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), m_height(height)
    {
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

// Whether a later sibling that is shown covers the whole of w: w is the back member of a
// stacked pair.
bool coveredBySibling(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    if (!parent)
        return false;
    const QObjectList& siblings = parent->children();
    for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i) {
        const auto* other = qobject_cast<const QWidget*>(siblings.at(i));
        if (other && !other->isHidden() && !other->isWindow() &&
            other->geometry().contains(w->geometry()))
            return true;
    }
    return false;
}

bool takesMnemonic(const QAbstractButton* b, const QKeySequence& key)
{
    return b->isVisible() && b->isEnabled() && !coveredBySibling(b) &&
           QKeySequence::mnemonic(b->text()) == key;
}

// Gives Alt and a letter to the first button of the window, in the order the window holds
// them, that shows the letter and can take it (a button behind its stacked twin cannot), and
// to the menu bar when no button can. Qt instead treats a letter that two controls share as
// ambiguous and only moves the focus between them, and it clicks a button even while its
// twin covers it.
void routeMnemonic(QWidget* window, const QKeySequence& key)
{
    const auto buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* candidate : buttons) {
        if (takesMnemonic(candidate, key)) {
            if (candidate->focusPolicy() != Qt::NoFocus)
                candidate->setFocus(Qt::ShortcutFocusReason);
            candidate->click();
            return;
        }
    }
    if (auto* bar = window->findChild<QMenuBar*>()) {
        for (QAction* action : bar->actions()) {
            if (action->isVisible() && action->isEnabled() &&
                QKeySequence::mnemonic(action->text()) == key) {
                bar->setActiveAction(action);
                return;
            }
        }
    }
}

class MnemonicRoute : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Shortcut)
            return false;
        auto* w = static_cast<QWidget*>(watched);
        const QKeySequence key = static_cast<QShortcutEvent*>(event)->key();
        // Only the letters of the control's own caption; a menu bar holds several.
        bool own = false;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            own = QKeySequence::mnemonic(button->text()) == key;
        } else if (auto* bar = qobject_cast<QMenuBar*>(w)) {
            for (const QAction* action : bar->actions())
                own = own || QKeySequence::mnemonic(action->text()) == key;
        }
        if (!own)
            return false;
        routeMnemonic(w->window(), key);
        return true;
    }
};

// Keys and wheel of a slider as on the original platform: Up, Page Up and the wheel turned
// away move towards the minimum, like Left; Down and Page Down towards the maximum.
class SliderKeys : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* slider = static_cast<QSlider*>(watched);
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
            switch (key->key()) {
            case Qt::Key_Up:
                action = QAbstractSlider::SliderSingleStepSub;
                break;
            case Qt::Key_Down:
                action = QAbstractSlider::SliderSingleStepAdd;
                break;
            case Qt::Key_PageUp:
                action = QAbstractSlider::SliderPageStepSub;
                break;
            case Qt::Key_PageDown:
                action = QAbstractSlider::SliderPageStepAdd;
                break;
            default:
                return false;
            }
            slider->triggerAction(action);
            return true;
        }
        if (event->type() == QEvent::Wheel) {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            m_wheel += wheel->angleDelta().y();
            // One step per notch of 120.
            for (; m_wheel >= 120; m_wheel -= 120)
                slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
            for (; m_wheel <= -120; m_wheel += 120)
                slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            return true;
        }
        return false;
    }

private:
    int m_wheel = 0;
};

class BottomAlign : public QObject
{
public:
    explicit BottomAlign(QWidget* child) : QObject(child), m_child(child)
    {
        child->parentWidget()->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply()
    {
        const QWidget* parent = m_child->parentWidget();
        const int h = m_child->height();
        m_child->setGeometry(0, parent->height() - h, parent->width(), h);
    }
    QWidget* m_child;
};

} // namespace

void prepareSlider(QSlider* slider)
{
    slider->setOrientation(Qt::Horizontal);
    slider->setSingleStep(1);
    slider->setPageStep(2);
    slider->setTickInterval(1);
    slider->installEventFilter(new SliderKeys(slider));
}

void prepareComboBox(QComboBox* box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
}

void prepareGrid(QTableWidget* grid)
{
    grid->setTabKeyNavigation(false);
}

void setItemHeight(QComboBox* box, int height)
{
    box->setItemDelegate(new FixedHeightDelegate(height, box));
}

void setTabStop(QWidget* w, bool tabStop)
{
    const bool takesClicks = w->focusPolicy() & Qt::ClickFocus;
    if (tabStop)
        w->setFocusPolicy(takesClicks ? Qt::StrongFocus : Qt::TabFocus);
    else
        w->setFocusPolicy(takesClicks ? Qt::ClickFocus : Qt::NoFocus);
}

void setAutoSize(QLabel* label, bool on)
{
    label->setProperty(kAutoSize, on);
    QWidget* parent = label->parentWidget();
    if (on && parent && !parent->layout())
        new LabelFitter(parent);
}

bool autoSize(const QLabel* label)
{
    return label->property(kAutoSize).toBool();
}

void holdFit(QLabel* label, bool hold)
{
    label->setProperty(kHeld, hold);
}

void rememberPlace(QLabel* label, const QRect& place)
{
    label->setProperty(kStoredPlace, place);
}

void fitLabel(QLabel* label, bool keepLeft)
{
    QSize size = label->sizeHint();
    size.setWidth(stackWidth(label, size.width()));
    int x = label->x();
    if (!keepLeft && (label->alignment() & Qt::AlignRight))
        x += label->width() - size.width();
    label->setGeometry(x, label->y(), size.width(), size.height());
}

void routeMnemonics(QWidget* w)
{
    w->installEventFilter(new MnemonicRoute(w));
}

void alignBottom(QWidget* w)
{
    new BottomAlign(w);
}

} // namespace widgetrules
