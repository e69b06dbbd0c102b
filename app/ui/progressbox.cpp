#include "progressbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressDialog>

namespace {
int activeBoxes = 0;
constexpr int kSteps = 1000;
} // namespace

// A write goes on to its end whatever the user presses: the box then keeps
// showing how far it is instead of vanishing.
class FileProgressDialog : public QProgressDialog {
public:
    FileProgressDialog(bool cancellable, QWidget *parent)
        : QProgressDialog(parent), m_cancellable(cancellable)
    {
    }
    void reject() override
    {
        if (m_cancellable)
            QProgressDialog::reject();
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (m_cancellable)
            QProgressDialog::closeEvent(e);
        else
            e->ignore();
    }

private:
    bool m_cancellable;
};

ProgressBox::ProgressBox(Kind kind, const QString &path, QWidget *parent)
{
    m_started.start();
    // Made only once the work has lasted a while: most reads and writes end
    // long before, and should not pay for a dialog.
    m_scope = std::make_unique<ProgressScope>([this, kind, path, parent](qint64 done,
                                                                         qint64 total) {
        constexpr qint64 kCreateAfterMs = 100, kShowAfterMs = 500;
        if (!m_dialog) {
            const qint64 elapsed = m_started.elapsed();
            if (elapsed < kCreateAfterMs)
                return true;
            m_dialog = std::make_unique<FileProgressDialog>(kind == Reading,
                                                            parent ? parent->window() : nullptr);
            QProgressDialog *d = m_dialog.get();
            d->setObjectName(QStringLiteral("ProgressBox"));
            d->setWindowTitle(QApplication::applicationName());
            d->setLabelText((kind == Reading ? QStringLiteral("Reading %1")
                                             : QStringLiteral("Saving %1"))
                                .arg(path));
            if (kind == Writing)
                d->setCancelButton(nullptr);
            d->setWindowModality(Qt::ApplicationModal);
            d->setAutoClose(false);
            d->setAutoReset(false);
            d->setMinimumDuration(int(qMax<qint64>(0, kShowAfterMs - elapsed)));
            d->setRange(0, kSteps);
            d->setValue(0);
        }
        if (total > 0)
            m_dialog->setValue(int(qBound(qint64(1), done * kSteps / total, qint64(kSteps))));
        return kind == Writing || !m_dialog->wasCanceled();
    });
    ++activeBoxes;
}

ProgressBox::~ProgressBox()
{
    --activeBoxes;
    m_scope.reset();
}

bool ProgressBox::active() { return activeBoxes > 0; }
