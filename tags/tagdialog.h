#pragma once
// The base of the tag dialogs: the habits they share, so that each one
// holds only what is its own. It owns the dialog's form, makes Enter click
// a button only while that button has the focus, swallows the Enter an edit
// leaves unhandled and Escape, starts each opening once (opened()), not
// again when the window is restored or the focus comes back from a box, and
// answers a close by the window manager as closedByFrame() says. Each
// dialog answers its command through one value, returned by its ask().
// Fields that clamp a number as they lose the focus are ClampedSpinBox.
#include "dialoghabits.h"
#include "keyboardreturn.h"

#include <QDialog>
#include <QHash>
#include <functional>
#include <initializer_list>
#include <memory>

class TagDialog : public QDialog {
    Q_OBJECT
public:
    explicit TagDialog(QWidget *parent = nullptr, Qt::WindowFlags f = {});
    ~TagDialog() override;

protected:
    // The font a dialog's captions take: the platform's, or "System" (then
    // with or without labels grown to the width of their text).
    enum class Captions { PlatformFont, SystemFont, SystemFontFitted };

    // Makes the dialog's form on it, owned by the dialog (for the member
    // initialiser of a dialog's form pointer).
    template <class Form> Form *makeForm(Captions captions)
    {
        auto *form = new Form;
        m_form = FormHolder(form, [](void *p) { delete static_cast<Form *>(p); });
        form->setupUi(this);
        useCaptions(captions);
        pressButtonsOnEnterOnly(this);
        return form;
    }

    // Enter in `field` runs `action` (guarded) and goes no further.
    void onEnter(QWidget *field, std::function<void()> action);
    // Enter in each widget of the chain but the last moves the focus to
    // the next one.
    void enterWalks(std::initializer_list<QWidget *> chain);

    // Each opening of the dialog, once: resets it for a new question.
    virtual void opened() = 0;

    // What a close asked by the window manager (Alt+F4, a close box)
    // counts as; by default the dialog's reject().
    virtual void closedByFrame() { reject(); }

    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void useCaptions(Captions captions);

    // Whoever had the keyboard when the dialog opened gets it back.
    KeyboardReturn m_keyboard{false};
    using FormHolder = std::unique_ptr<void, void (*)(void *)>;
    FormHolder m_form{nullptr, nullptr};
    QHash<QObject *, std::function<void()>> m_enterActions;
};
