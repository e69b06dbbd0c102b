#pragma once
// The document information dialog: background picture and the background,
// text and link colours written into the page's BODY tag.
#include "bodymarkup.h"
#include "tagdialog.h"

#include <QColor>
#include <optional>

namespace Ui {
class DocInfo;
}
class QLabel;
class QLineEdit;

class TDocInfo : public TagDialog {
    Q_OBJECT
public:
    explicit TDocInfo(QWidget *parent = nullptr);
    ~TDocInfo() override;

    static QString HexByte(int value);
    static QString ColorToHtml(int red, int green, int blue);

    // Shows the dialog; the four attributes, or nothing when cancelled.
    // The picture is answered as a URL (LocalPathToUrl).
    std::optional<BodyAttributes> ask();

    // The colour the colour dialog opens on: the one picked last, black at first.
    QColor chartColor() const { return m_chartColor; }

    void FormActivate();
    void OkButClick();
    void CancelButClick();
    void BrowseClick();
    void BGColorChartClick();
    void TxtChartClick();
    void LnkChartClick();
    void bgcolorChange();
    void TextColorChange();
    void LnkColorChange();

protected:
    void opened() override { FormActivate(); }
    void closedByFrame() override;

private:
    void pickColourInto(QLineEdit *field);
    void setLabelColours(QLabel *label, const QColor *text, const QColor *background);

    Ui::DocInfo *const m_ui; // owned by TagDialog
    bool m_cancelled = false;
    QColor m_chartColor = Qt::black;
};

extern TDocInfo *DocInfo;

class EditorBox;
// Rewrites the first line holding BODY (any letter case) with the given
// attributes, as one undo step, caret at the end of that line. Leaves the
// text alone when no line holds BODY.
void WriteBodyAttributes(EditorBox *ed, const BodyAttributes &a);
