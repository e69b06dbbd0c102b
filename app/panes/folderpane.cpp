#include "folderpane.h"
#include "sitefiles.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QDir>
#include <QAbstractFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

namespace {
// The filter box's text, read once: "*.css;*.js" is two wildcards.
class NameFilter {
public:
    NameFilter() = default;
    explicit NameFilter(const QString &text) : m_part(text.trimmed())
    {
        if (!m_part.contains(QLatin1Char('*')) && !m_part.contains(QLatin1Char('?')))
            return;
        for (const QString &p : m_part.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            m_wild << QRegularExpression::fromWildcard(p.trimmed(), Qt::CaseInsensitive);
        m_part.clear();
    }
    bool isEmpty() const { return m_part.isEmpty() && m_wild.isEmpty(); }
    bool matches(const QString &name) const
    {
        if (m_wild.isEmpty())
            return name.contains(m_part, Qt::CaseInsensitive);
        for (const QRegularExpression &w : m_wild)
            if (w.match(name).hasMatch())
                return true;
        return false;
    }

private:
    QString m_part;
    QList<QRegularExpression> m_wild;
};
} // namespace

// A folder or a file: the platform's icon for each kind of file is looked
// up by its type on the GUI thread, a stall of a second over a folder of
// 20,000 files.
class PlainIcons : public QAbstractFileIconProvider {
public:
    explicit PlainIcons(const QStyle *style)
        : m_folder(style->standardIcon(QStyle::SP_DirIcon)),
          m_file(style->standardIcon(QStyle::SP_FileIcon))
    {
    }
    QIcon icon(IconType type) const override { return type == Folder ? m_folder : m_file; }
    QIcon icon(const QFileInfo &info) const override { return info.isDir() ? m_folder : m_file; }
    QString type(const QFileInfo &info) const override
    {
        return info.isDir() ? QStringLiteral("Folder") : info.suffix();
    }

private:
    QIcon m_folder, m_file;
};

// What the tree shows of the folder model: no version-control folders, and
// only the files whose names pass the filter (every folder stays, so that
// the tree can still be walked while filtered).
class FolderFilterModel : public QSortFilterProxyModel {
public:
    FolderFilterModel(const QString &root, QObject *parent)
        : QSortFilterProxyModel(parent), m_below(root + QLatin1Char('/'))
    {
    }
    void setFilter(const QString &text)
    {
        m_filter = NameFilter(text);
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *files = static_cast<const QFileSystemModel *>(sourceModel());
        const QModelIndex i = files->index(row, 0, parent);
        // The folder itself and those above it are always there.
        if (!files->filePath(i).startsWith(m_below))
            return true;
        const QString name = files->fileName(i);
        if (FolderPane::isLeftOut(name))
            return false;
        return files->isDir(i) || m_filter.isEmpty() || m_filter.matches(name);
    }

private:
    QString m_below;
    NameFilter m_filter;
};

FolderPane::FolderPane(QWidget *parent) : QDockWidget(QStringLiteral("Folder"), parent)
{
    setObjectName(QStringLiteral("FolderPane"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_pages = new QStackedWidget(this);

    // No folder open: a way to open one.
    auto *none = new QWidget(m_pages);
    auto *noneLayout = new QVBoxLayout(none);
    auto *noneText = new QLabel(QStringLiteral("No folder is open."), none);
    auto *open = new QPushButton(QStringLiteral("&Open Folder..."), none);
    open->setObjectName(QStringLiteral("FolderPaneOpen"));
    connect(open, &QPushButton::clicked, this, &FolderPane::openFolderAsked);
    noneLayout->addWidget(noneText);
    noneLayout->addWidget(open, 0, Qt::AlignLeft);
    noneLayout->addStretch();

    auto *shown = new QWidget(m_pages);
    auto *layout = new QVBoxLayout(shown);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *top = new QHBoxLayout;
    m_name = new QLabel(shown);
    m_name->setTextFormat(Qt::PlainText);
    auto *close = new QToolButton(shown);
    close->setObjectName(QStringLiteral("FolderPaneClose"));
    close->setAutoRaise(true);
    // Words, not a cross: the pane's own cross beside it only hides it.
    close->setText(QStringLiteral("Close Folder"));
    connect(close, &QToolButton::clicked, this, &FolderPane::closeFolderAsked);
    top->addWidget(m_name, 1);
    top->addWidget(close);
    m_filter = new QLineEdit(shown);
    m_filter->setObjectName(QStringLiteral("FolderFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: name or *.css"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_shown)
            m_shown->setFilter(text);
        emit filterChanged(text);
    });
    m_tree = new QTreeView(shown);
    m_tree->setObjectName(QStringLiteral("FolderTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true); // a folder of thousands lays out at once
    m_tree->setAnimated(false);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->installEventFilter(this);
    connect(m_tree, &QTreeView::activated, this, &FolderPane::choose);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &FolderPane::showContextMenu);
    layout->addLayout(top);
    layout->addWidget(m_filter);
    layout->addWidget(m_tree, 1);

    m_pages->addWidget(none);
    m_pages->addWidget(shown);
    setWidget(m_pages);
}

FolderPane::~FolderPane() = default;

void FolderPane::setFolder(const QString &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    m_tree->setModel(nullptr);
    delete std::exchange(m_shown, nullptr);
    delete std::exchange(m_model, nullptr);
    if (folder.isEmpty()) {
        m_pages->setCurrentIndex(0);
        return;
    }
    m_model = new QFileSystemModel(this);
    // Hidden files (and so .git, .svn, .hg) are not listed at all.
    m_model->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_model->setOption(QFileSystemModel::DontUseCustomDirectoryIcons);
    if (!m_icons)
        m_icons = std::make_unique<PlainIcons>(style());
    m_model->setIconProvider(m_icons.get());
    m_shown = new FolderFilterModel(folder, this);
    m_shown->setSourceModel(m_model);
    m_shown->setFilter(m_filter->text());
    const QModelIndex root = m_model->setRootPath(folder);
    m_tree->setModel(m_shown);
    m_tree->setRootIndex(m_shown->mapFromSource(root));
    for (int c = 1; c < m_shown->columnCount(); ++c)
        m_tree->hideColumn(c);
    m_name->setText(QDir(folder).dirName().isEmpty() ? folder : QDir(folder).dirName());
    m_name->setToolTip(folder);
    m_pages->setCurrentIndex(1);
}

QString FolderPane::filterText() const { return m_filter->text(); }

void FolderPane::setFilterText(const QString &text) { m_filter->setText(text); }

bool FolderPane::nameMatches(const QString &name, const QString &filter)
{
    const NameFilter f(filter);
    return f.isEmpty() || f.matches(name);
}

bool FolderPane::isLeftOut(const QString &name)
{
    return name.startsWith(QLatin1Char('.')) || isLeftOutFolder(name);
}

QString FolderPane::pathAt(const QModelIndex &index) const
{
    if (!m_shown || !index.isValid())
        return {};
    return m_model->filePath(m_shown->mapToSource(index));
}

QModelIndex FolderPane::indexOf(const QString &path) const
{
    if (!m_shown)
        return {};
    const QModelIndex source = m_model->index(path);
    return source.isValid() ? m_shown->mapFromSource(source) : QModelIndex();
}

QStringList FolderPane::shownNames(const QString &folder) const
{
    const QModelIndex parent = folder == m_folder ? m_tree->rootIndex() : indexOf(folder);
    if (!parent.isValid())
        return {};
    if (m_shown->canFetchMore(parent))
        m_shown->fetchMore(parent);
    QStringList names;
    for (int r = 0; r < m_shown->rowCount(parent); ++r)
        names << m_shown->index(r, 0, parent).data().toString();
    return names;
}

void FolderPane::choose(const QModelIndex &index)
{
    if (!index.isValid() || m_model->isDir(m_shown->mapToSource(index)))
        return; // a folder opens in the tree itself
    emit fileChosen(pathAt(index));
}

bool FolderPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress && m_shown) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const QModelIndex current = m_tree->currentIndex();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && current.isValid()) {
            if (m_model->isDir(m_shown->mapToSource(current)))
                m_tree->setExpanded(current, !m_tree->isExpanded(current));
            else
                emit fileChosen(pathAt(current));
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void FolderPane::closeEvent(QCloseEvent *event)
{
    QDockWidget::closeEvent(event);
    if (event->isAccepted())
        emit closedByUser();
}

void FolderPane::showContextMenu(const QPoint &at)
{
    const QString path = pathAt(m_tree->indexAt(at));
    if (path.isEmpty())
        return;
    QMenu menu(this);
    QAction *rename = menu.addAction(QStringLiteral("&Rename..."));
    QAction *move = menu.addAction(QStringLiteral("&Move To..."));
    // Asked once the menu has closed: the question is a box of its own.
    QAction *chosen = menu.exec(m_tree->viewport()->mapToGlobal(at));
    if (chosen == rename)
        emit renameAsked(path);
    else if (chosen == move)
        emit moveAsked(path);
}
