// The rows of the table's page as a Qt model.
#include "measurementmodel.h"

#include "workspace/workspace.h"

#include <algorithm>
#include <cmath>

namespace darni::view {

using namespace darni::table;

namespace {
// sRGB to linear light, and the weights of the channels in relative luminance (WCAG 2).
constexpr double kLinearBelow = 0.03928;
constexpr double kLinearSlope = 12.92;
constexpr double kGammaOffset = 0.055;
constexpr double kGamma = 2.4;
constexpr double kRedWeight = 0.2126;
constexpr double kGreenWeight = 0.7152;
constexpr double kBlueWeight = 0.0722;
// Where black and white text contrast alike: (L + 0.05) / 0.05 = 1.05 / (L + 0.05).
constexpr double kEqualContrast = 0.179;

// Black or white, whichever contrasts more with `background`.
QColor contrastingText(const QColor& background)
{
    const auto linear = [](double channel) {
        return channel <= kLinearBelow ? channel / kLinearSlope
                                       : std::pow((channel + kGammaOffset) / (1 + kGammaOffset), kGamma);
    };
    const double luminance = kRedWeight * linear(background.redF()) + kGreenWeight * linear(background.greenF()) +
                             kBlueWeight * linear(background.blueF());
    return luminance > kEqualContrast ? QColor(Qt::black) : QColor(Qt::white);
}
} // namespace

MeasurementModel::MeasurementModel(workspace::Workspace& workspace, GridKind kind, QObject* parent)
    : QAbstractTableModel(parent), m_workspace(workspace), m_columns(columnsOf(kind))
{
    for (const ColumnSpec& c : m_columns)
        m_looks.push_back({QColor(), c.alignment, std::nullopt});
}

int MeasurementModel::columnOf(Field field) const
{
    const auto it =
        std::find_if(m_columns.begin(), m_columns.end(), [field](const ColumnSpec& c) { return c.field == field; });
    return it == m_columns.end() ? -1 : static_cast<int>(it - m_columns.begin());
}

CapturedValues MeasurementModel::capture(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return {m_rows.number(row, Field::P), m_rows.number(row, Field::R)};
}

bool MeasurementModel::showsNumbers(int c) const
{
    return fieldSpec(column(c).field).valueType != ValueType::Text;
}

bool MeasurementModel::keepsValuesWhole(int c) const
{
    const Field field = column(c).field;
    return showsNumbers(c) || field == Field::DATE || field == Field::TIME;
}

std::vector<QString> MeasurementModel::widestTexts() const
{
    // Texts are sized by the rows a user sees first; a longer one further down wraps or is cut.
    constexpr int kTextRowsLooked = 200;
    std::vector<table::Field> numbers;
    std::vector<table::Field> texts;
    for (int c = 0; c < columnCount(); ++c)
        (showsNumbers(c) ? numbers : texts).push_back(column(c).field);
    const std::vector<int> numberRows = m_rows.longestRows(numbers, rowCount());
    const std::vector<int> textRows = m_rows.longestRows(texts, std::min(rowCount(), kTextRowsLooked));
    std::vector<QString> widest;
    std::size_t number = 0;
    std::size_t text = 0;
    for (int c = 0; c < columnCount(); ++c) {
        const int row = showsNumbers(c) ? numberRows[number++] : textRows[text++];
        widest.push_back(row < 0 ? QString() : cellText(column(c), m_rows.text(row, column(c).field)));
    }
    return widest;
}

std::optional<MeasurementModel::ColumnText> MeasurementModel::changedColumnWidest() const
{
    const auto& changed = m_rows.changedField();
    if (!changed)
        return std::nullopt;
    const int c = columnOf(changed->field);
    if (c < 0)
        return std::nullopt;
    return ColumnText{c, cellText(column(c), m_rows.text(changed->widestRow, changed->field))};
}

void MeasurementModel::setLook(int c, const Look& look)
{
    m_looks[static_cast<std::size_t>(c)] = look;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, c), index(rowCount() - 1, c));
}

void MeasurementModel::reload()
{
    beginResetModel();
    // One walk collects the page; cells are then read on demand, so a table of any size opens without
    // reading more than the rows in view.
    m_rows = m_workspace.pageRows();
    endResetModel();
}

void MeasurementModel::clear()
{
    beginResetModel();
    m_rows = {};
    endResetModel();
}

int MeasurementModel::rowOfSlot(std::uint32_t slot) const
{
    const auto slots = m_rows.slots();
    const auto it = std::find(slots.begin(), slots.end(), slot);
    return it == slots.end() ? -1 : static_cast<int>(it - slots.begin());
}

int MeasurementModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int MeasurementModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant MeasurementModel::data(const QModelIndex& index, int role) const
{
    // A view that went stale reads blank until the grid reloads; nothing here can fail.
    if (!index.isValid() || m_rows.isStale())
        return {};
    const ColumnSpec& c = column(index.column());
    const Look& l = look(index.column());
    switch (role) {
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(l.alignment);
    case Qt::BackgroundRole:
        return l.color.isValid() ? QVariant(l.color) : QVariant();
    case Qt::ForegroundRole:
        // On a coloured column the text takes black or white, whichever stands out, in any palette.
        return l.color.isValid() ? QVariant(contrastingText(l.color)) : QVariant();
    case Qt::FontRole:
        return l.font ? QVariant(*l.font) : QVariant();
    case Qt::DisplayRole:
    case Qt::EditRole:
        break;
    default:
        return {};
    }
    const QByteArray stored = m_rows.text(index.row(), c.field);
    return role == Qt::EditRole ? editText(c, stored) : cellText(c, stored);
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    // A narrow column may cut a long title word; its tooltip tells the whole title.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromUtf16(column(section).caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

Qt::ItemFlags MeasurementModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    // A table open only for reading offers no editor.
    if (index.isValid() && column(index.column()).editable && m_workspace.isOpen() && !m_workspace.isReadOnly())
        f |= Qt::ItemIsEditable;
    return f;
}

bool MeasurementModel::tableIsReadOnly() const
{
    return m_workspace.isOpen() && m_workspace.isReadOnly();
}

void MeasurementModel::refuseReadOnlyEdit()
{
    Q_EMIT readOnlyEditRefused(m_workspace.readOnlyReason());
}

bool MeasurementModel::beginEditing()
{
    if (const auto refused = m_workspace.beginEditing()) {
        Q_EMIT editFailed(*refused);
        return false;
    }
    return true;
}

bool MeasurementModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount())
        return false;
    // The workspace writes nothing for text that leaves the stored value as it is, and refuses what
    // is not a value of the column's kind, keeping the stored one.
    const auto refused = m_workspace.editField(slotAt(index.row()), column(index.column()).field, value.toString());
    if (refused) {
        Q_EMIT editFailed(*refused);
        return false;
    }
    Q_EMIT dataChanged(index, index);
    return true;
}

} // namespace darni::view
