// One grid of the main window.
#include "gridview.h"

#include <QApplication>
#include <QHeaderView>

#include <numeric>
#include <utility>

namespace darni::view {

namespace {
constexpr int kRowPadding = 6;
// Room around a cell's text (the style's margins and the grid line), and around a title's longest
// word (the header's margins and the sort mark).
constexpr int kCellPadding = 14;
constexpr int kTitlePadding = 18;
} // namespace

GridView::GridView(MeasurementModel& model, QWidget* parent)
    : QTableView(parent), m_model(model), m_header(*new GridHeader(this))
{
    setHorizontalHeader(&m_header);
    setModel(&m_model);
    // A title click sorts; it must not mark every row as the table view would by default.
    disconnect(&m_header, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(&m_header, &QHeaderView::sectionEntered, this, nullptr);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    m_header.setStretchLastSection(false);

    m_widths.assign(static_cast<std::size_t>(m_model.columnCount()), ColumnLayout::kDefaultWidth);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &GridView::markedRowsChanged);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { Q_EMIT selectionStatisticsChanged(); });
    // A reset drops the selection without a word; the marks and their values go with it. The first
    // row becomes current again, as when a table is opened, so that the commands on "the row under
    // the cursor" have one before the user clicks; it is not marked.
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_marked.clear();
        // Other rows, other widest numbers (120000 rows after 2000 need a wider count); a sort only
        // reorders the same rows, and measuring them again would cost every click a walk; nor do rows
        // left by a delete or a renumbering need one.
        if (!m_widths.empty() && m_model.rowSetKey() != m_measuredRows) {
            if (m_model.narrowedFrom() != 0 && m_model.narrowedFrom() == m_measuredRows) {
                keepMinimumWidthsOfNarrowedRows();
            } else {
                updateMinimumWidths();
                fitColumns();
            }
        }
        if (m_model.rowCount() > 0)
            selectionModel()->setCurrentIndex(m_model.index(0, 0), QItemSelectionModel::NoUpdate);
        Q_EMIT selectionStatisticsChanged();
    });
    connect(&m_header, &QHeaderView::sectionResized, this, &GridView::columnResized);
    // The title row's height follows the titles' lines as the columns' widths change.
    connect(&m_header, &QHeaderView::sectionResized, this, [this] {
        if (!m_fitting)
            updateGeometries();
    });
}

void GridView::equalizeColumns()
{
    const int n = m_model.columnCount();
    if (n == 0)
        return;
    m_widths.assign(static_cast<std::size_t>(n), width() / n);
    fitColumns();
}

void GridView::fitColumnsToContents()
{
    const int n = m_model.columnCount();
    if (n == 0)
        return;
    const QFontMetrics cells(font());
    const QFontMetrics titles(m_header.font());
    // What each column needs for its cells, and what it would like for its title's longest word too.
    std::vector<int> needed(static_cast<std::size_t>(n));
    std::vector<int> wanted(static_cast<std::size_t>(n));
    const std::vector<QString> widest = m_model.widestTexts();
    for (int c = 0; c < n; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const int cell = cells.horizontalAdvance(widest[i]) + kCellPadding;
        int word = 0;
        for (const QString& w : m_model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split(u' '))
            word = std::max(word, titles.horizontalAdvance(w));
        needed[i] = cell;
        wanted[i] = std::max(cell, word + kTitlePadding);
    }
    updateMinimumWidths(widest);
    const int room = viewport()->width();
    const int allWanted = std::accumulate(wanted.begin(), wanted.end(), 0);
    const int allNeeded = std::accumulate(needed.begin(), needed.end(), 0);
    std::vector<int> widths = wanted;
    if (allWanted <= room) {
        // Everything fits: the rest of the width is shared out equally.
        for (int& w : widths)
            w += (room - allWanted) / n;
    } else if (allNeeded < room) {
        // The cells fit: the titles get what is left, in proportion to what they would like more.
        for (std::size_t i = 0; i < widths.size(); ++i)
            widths[i] = needed[i] + static_cast<int>(static_cast<long long>(wanted[i] - needed[i]) *
                                                     (room - allNeeded) / (allWanted - allNeeded));
    } else {
        widths = needed;
    }
    m_widths = std::move(widths);
    fitColumns();
}

void GridView::updateMinimumWidths()
{
    updateMinimumWidths(m_model.widestTexts());
}

void GridView::updateMinimumWidths(const std::vector<QString>& widest)
{
    m_measuredRows = m_model.rowSetKey();
    const int n = m_model.columnCount();
    const QFontMetrics cells(font());
    m_minimumWidths.assign(static_cast<std::size_t>(n), 0);
    for (int c = 0; c < n; ++c) {
        if (m_model.keepsValuesWhole(c))
            m_minimumWidths[static_cast<std::size_t>(c)] =
                cells.horizontalAdvance(widest[static_cast<std::size_t>(c)]) + kCellPadding;
    }
}

void GridView::keepMinimumWidthsOfNarrowedRows()
{
    // Rows left after a delete are no wider than they were, so the columns keep room enough; only the
    // field given new values (the numbers of a renumbering) may need more, and the model knows where
    // its widest value is.
    m_measuredRows = m_model.rowSetKey();
    const auto changed = m_model.changedColumnWidest();
    if (!changed || !m_model.keepsValuesWhole(changed->column) ||
        static_cast<std::size_t>(changed->column) >= m_minimumWidths.size())
        return;
    int& minimum = m_minimumWidths[static_cast<std::size_t>(changed->column)];
    const int needed = QFontMetrics(font()).horizontalAdvance(changed->text) + kCellPadding;
    if (needed <= minimum)
        return;
    minimum = needed;
    fitColumns();
}

void GridView::requireFooterWidth(int column, int width)
{
    int& needed = m_footerWidths[column];
    if (needed == width)
        return;
    needed = width;
    fitColumns();
}

void GridView::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    // Another font (or scale) measures the numbers anew: none may be cut in it.
    if (event->type() == QEvent::FontChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
        updateMinimumWidths();
        fitColumns();
    }
}

void GridView::fitColumns()
{
    // The columns keep the proportions of their own widths and together fill the grid; a column of
    // numbers keeps room for its widest number, and the others share what is left (the grid scrolls
    // when the numbers alone need more than its width).
    const std::size_t n = m_widths.size();
    const int room = viewport()->width();
    if (n == 0 || room <= 0 || std::accumulate(m_widths.begin(), m_widths.end(), 0) <= 0)
        return;
    // No column is narrower than the header lets a section be.
    const auto least = [this](std::size_t c) {
        const auto footer = m_footerWidths.find(static_cast<int>(c));
        const int figures = std::max(c < m_minimumWidths.size() ? m_minimumWidths[c] : 0,
                                     footer == m_footerWidths.end() ? 0 : footer->second);
        return std::max(figures, std::max(m_header.minimumSectionSize(), 1));
    };
    std::vector<bool> atLeast(n, false);
    long long freeTotal = 0;
    int freeRoom = room;
    for (bool settled = false; !settled;) {
        settled = true;
        freeTotal = 0;
        freeRoom = room;
        for (std::size_t c = 0; c < n; ++c) {
            if (atLeast[c])
                freeRoom -= least(c);
            else
                freeTotal += m_widths[c];
        }
        for (std::size_t c = 0; c < n && freeTotal > 0; ++c) {
            if (!atLeast[c] && m_widths[c] * static_cast<long long>(std::max(freeRoom, 0)) / freeTotal < least(c)) {
                atLeast[c] = true;
                settled = false;
            }
        }
    }
    // Setting one width may change the grid's geometry and fit the columns again from within: the
    // widths are the user's own only once the outermost fitting is done.
    const bool wasFitting = std::exchange(m_fitting, true);
    int used = 0;
    std::size_t lastFree = n;
    for (std::size_t c = 0; c < n; ++c) {
        if (!atLeast[c])
            lastFree = c;
    }
    for (std::size_t c = 0; c < n; ++c) {
        int w = least(c);
        if (!atLeast[c]) {
            w = c == lastFree ? freeRoom - used
                              : static_cast<int>(m_widths[c] * static_cast<long long>(freeRoom) / freeTotal);
            used += w;
        }
        setColumnWidth(static_cast<int>(c), std::max(w, 1));
    }
    m_fitting = wasFitting;
    if (!m_fitting)
        updateGeometries();
}

void GridView::columnResized(int column, int /*oldWidth*/, int newWidth)
{
    if (m_fitting || column < 0 || static_cast<std::size_t>(column) >= m_widths.size())
        return;
    // The user dragged a border: that column keeps its new width and the others share the rest of the
    // grid's width in their proportions, so the columns still fill the grid.
    const int room = viewport()->width();
    int others = 0;
    for (std::size_t c = 0; c < m_widths.size(); ++c) {
        if (static_cast<int>(c) != column)
            others += columnWidth(static_cast<int>(c));
    }
    const int left = room - newWidth;
    for (std::size_t c = 0; c < m_widths.size(); ++c) {
        const int now = columnWidth(static_cast<int>(c));
        m_widths[c] = static_cast<int>(c) == column || others <= 0 || left <= 0
                          ? now
                          : std::max(1, static_cast<int>(static_cast<long long>(now) * left / others));
    }
    m_widths[static_cast<std::size_t>(column)] = newWidth;
    fitColumns();
}

void GridView::commitEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        editor = QApplication::focusWidget();
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // The table is kept as it stands before the first edit opens an editor (for undo and "Нет");
    // when it cannot be, no editor opens.
    const bool byUser = trigger == QAbstractItemView::AllEditTriggers || (editTriggers() & trigger);
    // Typing into a table that may not be written is not ignored without a word.
    if (byUser && index.isValid() && m_model.tableIsReadOnly() && m_model.isEditableColumn(index.column())) {
        m_model.refuseReadOnlyEdit();
        return false;
    }
    if (byUser && state() != QAbstractItemView::EditingState && (m_model.flags(index) & Qt::ItemIsEditable) &&
        !m_model.beginEditing())
        return false;
    const bool started = QTableView::edit(index, trigger, event);
    if (started && trigger != QAbstractItemView::NoEditTriggers)
        Q_EMIT m_model.editStarted();
    return started;
}

// ---- marked rows --------------------------------------------------------------------------------

void GridView::markedRowsChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (!selectionModel()->isRowSelected(row, {}))
                m_marked.erase(m_model.slotAt(row));
        }
    }
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            // A row keeps the values it had when it was first marked.
            m_marked.try_emplace(m_model.slotAt(row), m_model.capture(row));
        }
    }
    Q_EMIT selectionStatisticsChanged();
}

int GridView::selectedRowCount() const
{
    if (!m_marked.empty())
        return static_cast<int>(m_marked.size());
    return currentIndex().isValid() ? 1 : 0;
}

std::vector<std::uint32_t> GridView::selectedSlots() const
{
    std::vector<std::uint32_t> slots;
    for (const auto& [slot, values] : m_marked)
        slots.push_back(slot);
    if (slots.empty() && currentIndex().isValid())
        slots.push_back(m_model.slotAt(currentIndex().row()));
    return slots;
}

std::vector<table::CapturedValues> GridView::capturedValues() const
{
    std::vector<table::CapturedValues> values;
    values.reserve(m_marked.size());
    for (const auto& [slot, captured] : m_marked)
        values.push_back(captured);
    return values;
}

// ---- layout and colours -------------------------------------------------------------------------

GridLayout GridView::layout() const
{
    GridLayout layout;
    for (int c = 0; c < m_model.columnCount(); ++c) {
        const MeasurementModel::Look& look = m_model.look(c);
        layout.columns.push_back({QString::fromLatin1(table::fieldSpec(m_model.column(c).field).name),
                                  m_widths[static_cast<std::size_t>(c)], m_header.visualIndex(c),
                                  m_header.titleState(c), look.color, look.alignment, look.font,
                                  fontMetrics().averageCharWidth()});
    }
    return layout;
}

void GridView::applyLayout(const GridLayout& layout)
{
    // A stored layout wins over the widths taken from the contents, but never cuts a number, a date
    // or a time of this page.
    updateMinimumWidths();
    for (const ColumnLayout& stored : layout.columns) {
        const auto c = [&]() -> int {
            for (int i = 0; i < m_model.columnCount(); ++i) {
                const QString name = QString::fromLatin1(table::fieldSpec(m_model.column(i).field).name);
                if (name.compare(stored.fieldName, Qt::CaseInsensitive) == 0)
                    return i;
            }
            return -1;
        }();
        if (c < 0)
            continue;
        // Widths follow the font they were taken in; a layout of plain pixels is read as it stands.
        if (stored.width > 0) {
            const int unit = fontMetrics().averageCharWidth();
            m_widths[static_cast<std::size_t>(c)] =
                stored.widthUnit > 0 && unit > 0
                    ? static_cast<int>(static_cast<long long>(stored.width) * unit / stored.widthUnit)
                    : stored.width;
        }
        m_header.setTitleState(c, stored.titleState);
        m_model.setLook(c, {stored.color, stored.alignment, stored.font});
    }
    fitColumns();
}

QColor GridView::currentColumnColor() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_model.look(current.column()).color : QColor();
}

bool GridView::setCurrentColumnColor(const QColor& color)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return false;
    setColumnColor(current.column(), color);
    return true;
}

void GridView::clearColumnColors()
{
    for (int c = 0; c < m_model.columnCount(); ++c)
        setColumnColor(c, {});
}

void GridView::setColumnColor(int column, const QColor& color)
{
    MeasurementModel::Look look = m_model.look(column);
    look.color = color;
    m_model.setLook(column, look);
}

} // namespace darni::view
