#include "uiseam.h"

#include "errors.h"
#include "keyboardreturn.h"

#include <QApplication>
#include <QDesktopServices>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>

QString qtFilterFromStored(const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
    }
    return out.join(QStringLiteral(";;"));
}

void UiSeam::warningBox(const QString &text)
{
    errorBox(text, QApplication::applicationName());
}

QString UiSeam::chooseFolder(const QString &, const QString &) { return {}; }

QRect fitInside(const QRect &rect, const QRect &area)
{
    QRect out(rect.topLeft(),
              QSize(qMin(rect.width(), area.width()), qMin(rect.height(), area.height())));
    out.moveLeft(qBound(area.left(), out.left(), area.left() + area.width() - out.width()));
    out.moveTop(qBound(area.top(), out.top(), area.top() + area.height() - out.height()));
    return out;
}

void keepOnScreen(QWidget *window)
{
    auto marginsOf = [](const QWidget *w) {
        const QRect f = w->frameGeometry(), g = w->geometry();
        return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                        f.bottom() - g.bottom());
    };
    QMargins frame;
    if (window->isVisible())
        frame = marginsOf(window);
    else if (const QWidget *parent = window->parentWidget();
             parent && parent->window()->isVisible())
        frame = marginsOf(parent->window());
    // pos() is where the frame starts, shown or not.
    const QRect outer(window->pos(), window->size().grownBy(frame));
    QScreen *screen = QGuiApplication::screenAt(outer.center());
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    const QRect fitted = fitInside(outer, screen->availableGeometry());
    if (fitted == outer)
        return;
    window->resize(fitted.size().shrunkBy(frame));
    window->move(fitted.topLeft());
}

namespace {

QWidget *dialogParent() { return QApplication::activeWindow(); }

// A Yes/No question that only its two buttons answer: Qt would take Escape
// or the close box as "No", and a No to "Save Changes" throws work away.
class YesNoBox : public QMessageBox {
public:
    YesNoBox(const QString &text, QWidget *parent)
        : QMessageBox(QMessageBox::Question, QApplication::applicationName(), text,
                      QMessageBox::Yes | QMessageBox::No, parent)
    {
        setObjectName(QStringLiteral("YesNoBox"));
        setDefaultButton(QMessageBox::Yes);
    }

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent *e) override
    {
        if (!clickedButton())
            e->ignore();
        else
            QMessageBox::closeEvent(e);
    }
};

class QtUi : public UiSeam {
public:
    QPointer<QWidget> m_helpOwner;

    bool confirm(const QString &text) override
    {
        KeyboardReturn back;
        YesNoBox box(text, dialogParent());
        box.exec();
        return box.clickedButton() == box.button(QMessageBox::Yes);
    }
    void errorBox(const QString &text, const QString &caption) override
    {
        KeyboardReturn back;
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, dialogParent());
        box.exec();
    }
    void warningBox(const QString &text) override
    {
        KeyboardReturn back;
        QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text,
                        QMessageBox::Ok, dialogParent());
        box.exec();
    }
    QString openFileName(const FileDialogRequest &req) override
    {
        return run(req, QFileDialog::AcceptOpen);
    }
    QString saveFileName(const FileDialogRequest &req) override
    {
        return run(req, QFileDialog::AcceptSave);
    }
    QString chooseFolder(const QString &caption, const QString &start) override
    {
        KeyboardReturn back;
        QFileDialog dlg(dialogParent(), caption, start);
        dlg.setFileMode(QFileDialog::Directory);
        dlg.setOption(QFileDialog::ShowDirsOnly);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        return dlg.selectedFiles().constFirst();
    }
    bool chooseColor(QColor &colour) override
    {
        KeyboardReturn back;
        QColorDialog dlg(colour, dialogParent());
        if (dlg.exec() != QDialog::Accepted)
            return false;
        colour = dlg.selectedColor();
        return true;
    }
    QString inputBox(const QString &caption, const QString &prompt,
                     const QString &defaultText) override
    {
        KeyboardReturn back;
        QInputDialog dlg(dialogParent());
        dlg.setWindowTitle(caption);
        dlg.setLabelText(prompt);
        dlg.setTextValue(defaultText);
        // The prompt may quote what the user typed: shown as typed, never as
        // markup, and wrapped rather than widening the box.
        for (QLabel *label : dlg.findChildren<QLabel *>()) {
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
        }
        return dlg.exec() == QDialog::Accepted ? dlg.textValue() : defaultText;
    }
    bool openUrl(const QUrl &url) override
    {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty())
            return QDesktopServices::openUrl(url);
        // Run so that its exit status is known: a browser command that fails
        // would otherwise show nothing at all. Without a parent on purpose:
        // a browser that runs in the foreground of the command must not be
        // killed when the editor closes; the object goes when it ends.
        auto *run = new QProcess;
        run->setProgram(opener);
        run->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
        run->setStandardOutputFile(QProcess::nullDevice());
        run->setStandardErrorFile(QProcess::nullDevice());
        const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
        auto failed = [shown] {
            reportError(QStringLiteral("No web browser could be started to show %1").arg(shown));
        };
        QObject::connect(run, &QProcess::finished, run,
                         [run, failed](int code, QProcess::ExitStatus status) {
                             run->deleteLater();
                             if (status != QProcess::NormalExit || code != 0)
                                 failed();
                         });
        QObject::connect(run, &QProcess::errorOccurred, run, [run, failed](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart)
                return;
            run->deleteLater();
            failed();
        });
        run->start();
        return true;
    }
    void showHelp(const QString &helpFile) override
    {
        // A small built-in viewer: works on any desktop, with or without a browser.
        if (!m_help) {
            // Owned by the main window, and never what keeps the program
            // running once the main window has closed.
            m_help = new QTextBrowser(m_helpOwner);
            m_help->setWindowFlag(Qt::Window);
            m_help->setAttribute(Qt::WA_DeleteOnClose, false);
            m_help->setAttribute(Qt::WA_QuitOnClose, false);
            m_help->setOpenExternalLinks(true);
            m_help->resize(640, 560);
            new KeepKeyboardOnHide(m_help);
            // Over the main window, as a dialog would open.
            if (m_helpOwner) {
                const QRect main = m_helpOwner->frameGeometry();
                m_help->move(main.center() - QPoint(m_help->width() / 2, m_help->height() / 2));
            }
        }
        keepOnScreen(m_help);
        m_help->setWindowTitle(QApplication::applicationName() + QStringLiteral(" Help"));
        m_help->setSource(QUrl::fromLocalFile(helpFile));
        m_help->show();
        m_help->raise();
        m_help->activateWindow();
    }

private:
    QString run(const FileDialogRequest &req, QFileDialog::AcceptMode mode)
    {
        KeyboardReturn back;
        QFileDialog dlg(dialogParent(), req.title);
        dlg.setAcceptMode(mode);
        dlg.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
        dlg.setNameFilter(qtFilterFromStored(req.filter));
        dlg.setDefaultSuffix(req.defaultSuffix);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !req.overwritePrompt);
        if (!req.initialName.isEmpty() && !req.initialName.contains(QLatin1Char('*'))) {
            const QFileInfo fi(req.initialName);
            if (fi.isAbsolute())
                dlg.setDirectory(fi.absolutePath());
            dlg.selectFile(fi.fileName());
        }
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        return dlg.selectedFiles().constFirst();
    }
    QPointer<QTextBrowser> m_help;
};

QtUi &realUi()
{
    static QtUi real;
    return real;
}

UiSeam *&current()
{
    static UiSeam *seam = &realUi();
    return seam;
}

} // namespace

UiSeam &ui() { return *current(); }

UiSeam &platformUi() { return realUi(); }

void reportError(const QString &text)
{
    ui().errorBox(withPeriod(text), QCoreApplication::applicationName());
}

void setHelpOwner(QWidget *window) { realUi().m_helpOwner = window; }

UiSeam *setUi(UiSeam *seam)
{
    UiSeam *old = current();
    current() = seam;
    return old;
}
