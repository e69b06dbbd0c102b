#pragma once
// The image dialog: location, link, ALT text, description and alignment of
// an image the image command inserts.
#include "tagdialog.h"

#include <memory>

namespace Ui {
class ImageInfo;
}
class QLineEdit;
class QComboBox;
class QPushButton;

class TImageInfo : public TagDialog {
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
    void opened() override { FormActivate(); }
    void closedByFrame() override;

private:
    Ui::ImageInfo *const m_ui; // owned by TagDialog
};

extern TImageInfo *ImageInfo;
