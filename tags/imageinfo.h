#pragma once
// The image dialog: location, link, ALT text, description and alignment of
// an image the image command inserts.
#include <QDialog>
#include <memory>

namespace Ui {
class ImageInfo;
}
class QLineEdit;
class QComboBox;
class QPushButton;

class TImageInfo : public QDialog {
    Q_OBJECT
public:
    explicit TImageInfo(QWidget *parent = nullptr);
    ~TImageInfo() override;

    bool Cancelled = false;
    // When set, the next opening empties the fields (description excepted).
    bool ClearOnActivate = false;

    QLineEdit *Image() const;
    QLineEdit *Document() const;
    QLineEdit *Textonly() const;
    QLineEdit *Lable() const;
    QComboBox *Align() const;

    void FormActivate();
    void OkButClick();
    void CancelButClick();
    void BrowseClick();

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    std::unique_ptr<Ui::ImageInfo> m_ui;
};

extern TImageInfo *ImageInfo;
