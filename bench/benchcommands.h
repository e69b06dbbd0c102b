#pragma once
// The tag commands timed on pages of every size, and how one measurement
// is taken on every open page in turn.
#include <functional>
#include <vector>

class EditorBox;
class THTMLDOC;

namespace bench {

struct Command {
    const char *name;
    bool selectWord;
    std::function<void()> run;
    bool undo = true; // a scan changes nothing
};

std::vector<Command> commands();

// One run of a command with the caret in the middle of the page; the page
// is put back afterwards.
double commandOnce(EditorBox *ed, const Command &c);

// One typed character with the caret in the middle of the page, until the
// editor has shown it; taken back afterwards.
double typedCharacterOnce(EditorBox *ed);

// Medians of one measurement on every open page, taken in turn, run after
// run, so a slow spell of the machine falls on every size alike. One round
// first is not counted.
std::vector<double> timeOnEachPage(const std::vector<THTMLDOC *> &docs, int runs,
                                   const std::function<double(EditorBox *)> &once);

} // namespace bench
