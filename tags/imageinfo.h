#pragma once
// The image dialog: location, link, ALT text, description and alignment of
// an image the image command inserts.
#include "imagemarkup.h"
#include "tagdialog.h"

#include <optional>

namespace Ui {
class ImageInfo;
}

class TImageInfo : public TagDialog {
    Q_OBJECT
public:
    explicit TImageInfo(QWidget *parent = nullptr);
    ~TImageInfo() override;

    // How the dialog opens: with its fields emptied (the description
    // excepted), or as the user left them, to be asked again.
    enum class Fields { Cleared, AsLeft };

    // Shows the dialog; the image's values, or nothing when cancelled. The
    // location is answered as a URL (LocalPathToUrl), and the field shows
    // it so, should the dialog be asked again.
    std::optional<ImageFields> ask(Fields fields);

    void FormActivate();
    void OkButClick();
    void CancelButClick();
    void BrowseClick();

protected:
    void opened() override { FormActivate(); }
    void closedByFrame() override;

private:
    Ui::ImageInfo *const m_ui; // owned by TagDialog
    bool m_cancelled = false;
    bool m_clearOnActivate = false;
};

extern TImageInfo *ImageInfo;
