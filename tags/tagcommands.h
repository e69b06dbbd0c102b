#pragma once
// The tag commands: what each one writes into the page, and their rows of
// the action registry (menu item, bar and palette buttons).
#include <QString>

// Their names, the object names of their menu items.
namespace TagCommand {
inline constexpr char Bold[] = "Bold1";
inline constexpr char Italic[] = "Italic1";
inline constexpr char Underline[] = "Underline1";
inline constexpr char Blinking[] = "BlinkingBLINK1";
inline constexpr char Center[] = "CenterCENTER1";
inline constexpr char Preformatted[] = "PreformattedTextPRE1";
inline constexpr char H1[] = "Heading1";
inline constexpr char H2[] = "Heading21";
inline constexpr char H3[] = "Heading31";
inline constexpr char H4[] = "Heading41";
inline constexpr char H5[] = "Heading51";
inline constexpr char H6[] = "Heading61";
inline constexpr char Document[] = "Document1";
inline constexpr char Link[] = "lnkadd";
inline constexpr char Image[] = "ImageInsertion1";
inline constexpr char Lists[] = "Lists1";
inline constexpr char Table[] = "Table1";
inline constexpr char Target[] = "Target1";
inline constexpr char Paragraph[] = "Paragraph1";
inline constexpr char HorizontalRule[] = "HorizontalLineHR1";
inline constexpr char LineBreak[] = "LineBreak1";
} // namespace TagCommand

class EditorBox;

// Adds the tag commands' rows (once is enough, more is harmless).
void addTagCommands();

// Replaces the selection by open + selected text + close and leaves the
// caret directly before close. Does nothing without an editor.
void WrapSelection(EditorBox *ed, const QString &open, const QString &close);
