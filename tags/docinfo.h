#pragma once
// The document information dialog: background picture and the background,
// text and link colours written into the page's BODY tag.
#include "tagdialog.h"

#include <QColor>

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

    bool Cancelled = false;

    QLineEdit *Bckgrdpct() const;
    QLineEdit *bgcolor() const;
    QLineEdit *TextColor() const;
    QLineEdit *LnkColor() const;
    QLabel *colourLabel(int row) const; // 2, 3 or 4: the preview labels
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
    QColor m_chartColor = Qt::black;
};

extern TDocInfo *DocInfo;

struct BodyAttributes;
class EditorBox;
// Rewrites the first line holding BODY (any letter case) with the given
// attributes, as one undo step, caret at the end of that line. Leaves the
// text alone when no line holds BODY.
void WriteBodyAttributes(EditorBox *ed, const BodyAttributes &a);
