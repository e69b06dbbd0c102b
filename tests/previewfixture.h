#pragma once
// What the preview's test programs share: a pane following an editor of its
// own over a folder of the test's, and the engine's answers waited for.
#include "editorbox.h"
#include "previewpane.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <memory>
#include <optional>

constexpr int kLoadMs = 30000; // the engine's first start is slow on a busy machine

// Runs `script` in the pane's own script world (it runs with the page's
// scripts off too) and waits for its answer. The answer may come after the
// wait, or with the page's end: it lands in shared state.
inline QVariant evaluate(PreviewPane *pane, const QString &script)
{
    auto answer = std::make_shared<std::optional<QVariant>>();
    pane->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [answer](const QVariant &v) { *answer = v; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, kLoadMs))
        return QStringLiteral("<no answer>");
    return **answer;
}

inline QString plainText(PreviewPane *pane)
{
    auto answer = std::make_shared<std::optional<QString>>();
    pane->page()->toPlainText([answer](const QString &t) { *answer = t; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, kLoadMs))
        return QStringLiteral("<no answer>");
    return **answer;
}

// The members a preview test class takes from here: its init() makes m_ui,
// its cleanup() calls clear().
class PreviewFixture {
protected:
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir m_dir;
    EditorBox *m_editor = nullptr;
    PreviewPane *m_pane = nullptr;

    // Shows `html` in a pane following a fresh editor and waits until it has loaded.
    bool show(const QString &html, PreviewPane::Timing timing = {}, bool scripts = false)
    {
        delete m_pane;
        delete m_editor;
        m_editor = new EditorBox;
        m_editor->loadText(html);
        m_pane = new PreviewPane(nullptr, timing);
        if (scripts)
            m_pane->setScriptsEnabled(true);
        m_pane->resize(600, 400);
        m_pane->setEditor(m_editor, m_dir.path());
        const int before = m_pane->loadsFinished();
        m_pane->show();
        return QTest::qWaitFor([&] { return m_pane->loadsFinished() > before; }, kLoadMs);
    }
    bool refreshed()
    {
        const int before = m_pane->loadsFinished();
        m_pane->refresh();
        return QTest::qWaitFor([&] { return m_pane->loadsFinished() > before; }, kLoadMs);
    }
    // The pane, its editor and the scripted UI go.
    void clear()
    {
        delete m_pane;
        m_pane = nullptr;
        delete m_editor;
        m_editor = nullptr;
        delete m_ui;
    }
};
