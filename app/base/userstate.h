#pragma once
// The user's own state (recent files, which panes show, the spelling
// switches): a small INI file in the user's configuration folder, never
// the settings file. Each feature names its own keys.
#include <QString>
#include <QVariant>

namespace UserState {
// Where it is kept.
QString path();
// A state file far larger than it can be, or one that is no plain file, is
// moved aside (to the same name with ".too-large") before it is read;
// true when one was.
bool setAsideOversize();
QVariant value(const char *key, const QVariant &otherwise = {});
void setValue(const char *key, const QVariant &value);
} // namespace UserState
