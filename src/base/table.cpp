#include "base/table.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/valuetext.h"

namespace veltris {

ValueClass classifyValue(double v)
{
    if (v == 0)
        return kValueZero;
    if (!std::isnormal(v))
        return kValueOther;
    // Whole numbers below 1E15 have at most 15 digits.
    const double m = std::fabs(v);
    if (m < 1e15 && m >= 1 && m == std::trunc(m))
        return kValueExact;
    // The shortest form reads back as v; within 15 digits it is also the 15-digit text.
    // It is "d[.ddd]e±x": the digits stand before the 'e', less the point.
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, m, std::chars_format::scientific);
    const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<std::size_t>(r.ptr - buf)));
    const long digits = e - buf - (e - buf > 1 ? 1 : 0);
    if (digits <= 15)
        return kValueExact;
    return m >= 1e-300 && m <= 1e300 ? kValueRounded : kValueOther;
}

void ColumnStore::resize(std::size_t rows)
{
    switch (kind) {
    case CellKind::Text:
        if (rows < texts.size())
            texts.resize(rows);
        break;
    case CellKind::Drawing: drawing.resize(rows); break;
    case CellKind::Value:
        flags.resize(rows);
        classes.resize(rows);
        a.resize(rows);
        break;
    case CellKind::Range:
        flags.resize(rows);
        classes.resize(rows);
        a.resize(rows);
        b.resize(rows);
        break;
    case CellKind::V3Range:
        a.resize(rows);
        b.resize(rows);
        break;
    }
}

Table Table::fromColumns(int rows, std::vector<ColumnStore>&& columns)
{
    Table t;
    t.m_rows = std::max(rows, 0);
    t.m_cols = static_cast<int>(columns.size());
    t.m_titles.resize(columns.size());
    const std::size_t stored = t.m_rows > 0 ? static_cast<std::size_t>(t.m_rows - 1) : 0;
    t.m_stored = stored;
    t.m_order.resize(stored);
    for (std::size_t i = 0; i < stored; ++i)
        t.m_order[i] = static_cast<std::uint32_t>(i);
    t.m_columns.reserve(columns.size());
    for (auto& c : columns) {
        c.resize(stored);
        t.m_columns.push_back(std::make_shared<ColumnStore>(std::move(c)));
    }
    return t;
}

void Table::setRecordImage(std::shared_ptr<const RecordImage> image)
{
    const std::size_t count = image ? std::min(image->count, m_stored) : 0;
    m_image = count > 0 ? std::move(image) : nullptr;
    m_imaged.assign(count, 1);
}

const std::string* Table::editedText(std::uint32_t stored, int col) const
{
    if (stored >= m_editSlot.size() || m_editSlot[stored] < 0)
        return nullptr;
    const EditedRow& e = m_edits[static_cast<std::size_t>(m_editSlot[stored])];
    if (col >= 32 || !(e.mask & (std::uint32_t{1} << col)))
        return nullptr;
    return &e.texts[static_cast<std::size_t>(col)];
}

std::string Table::storedText(std::uint32_t stored, int col) const
{
    const ColumnStore& c = column(col);
    switch (c.kind) {
    case CellKind::Text: return c.text(stored);
    case CellKind::Value: return flaggedValueText(c.flags[stored], c.a[stored]);
    case CellKind::Range: return rangeValueText(c.flags[stored], c.a[stored], c.b[stored]);
    case CellKind::V3Range: return v3RangeText(c.a[stored], c.b[stored]);
    case CellKind::Drawing: {
        char buf[8];
        const auto r = std::to_chars(buf, buf + sizeof buf, c.drawing[stored]);
        return std::string(buf, r.ptr);
    }
    }
    return {};
}

std::string Table::cell(int row, int col) const
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return {};
    std::string out;
    appendCell(row, col, out);
    return out;
}

void Table::appendCell(int row, int col, std::string& out) const
{
    assert(row >= 0 && row < m_rows && col >= 0 && col < m_cols);
    if (row == 0) {
        out += m_titles[static_cast<std::size_t>(col)];
        return;
    }
    const std::uint32_t stored = storedRow(row);
    const ColumnStore& c = column(col);
    if (c.kind == CellKind::Text) {
        out += c.text(stored);
        return;
    }
    if (const std::string* edited = editedText(stored, col)) {
        out += *edited;
        return;
    }
    // The commonest stored cell, a plain number, is written straight into `out`.
    if (c.kind == CellKind::Value && c.flags[stored] == 0 && c.classes[stored] == kValueExact) {
        out += numberText(c.a[stored]);
        return;
    }
    out += storedText(stored, col);
}

void Table::setEdited(std::uint32_t stored, int col, std::string_view text)
{
    assert(col < 32);
    rowChanged(stored);
    if (m_editSlot.size() <= stored)
        m_editSlot.resize(std::max<std::size_t>(stored + 1, m_stored), -1);
    if (m_editSlot[stored] < 0) {
        m_editSlot[stored] = static_cast<std::int32_t>(m_edits.size());
        m_edits.push_back({0, std::vector<std::string>(static_cast<std::size_t>(m_cols))});
    }
    EditedRow& e = m_edits[static_cast<std::size_t>(m_editSlot[stored])];
    e.mask |= std::uint32_t{1} << col;
    e.texts[static_cast<std::size_t>(col)].assign(text);
}

void Table::setCell(int row, int col, std::string_view text)
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return;
    if (row == 0) {
        m_titles[static_cast<std::size_t>(col)].assign(text);
        return;
    }
    const std::uint32_t stored = storedRow(row);
    const ColumnStore& c = column(col);
    if (c.kind == CellKind::Text) {
        if (c.text(stored) == text)
            return;  // a column shared with another table stays shared
        ColumnStore& w = writableColumn(col);
        if (stored >= w.texts.size())
            w.texts.resize(m_stored);
        w.texts[stored].assign(text);
        rowChanged(stored);
        return;
    }
    if (std::string* edited = const_cast<std::string*>(editedText(stored, col))) {
        edited->assign(text);
        rowChanged(stored);
        return;
    }
    if (storedText(stored, col) == text)
        return;
    setEdited(stored, col, text);
}

ColumnStore& Table::writableColumn(int col)
{
    std::shared_ptr<ColumnStore>& p = m_columns[static_cast<std::size_t>(col)];
    if (p.use_count() > 1)
        p = std::make_shared<ColumnStore>(*p);
    return *p;
}

std::uint32_t Table::appendStoredRow()
{
    const std::size_t stored = m_stored++;
    // A Text column grows only when a text is set.
    for (int col = 0; col < m_cols; ++col)
        if (column(col).kind != CellKind::Text)
            writableColumn(col).resize(m_stored);
    if (!m_editSlot.empty())
        m_editSlot.resize(m_stored, -1);
    // A new stored cell is an empty text.
    for (int col = 0; col < m_cols; ++col)
        if (column(col).kind != CellKind::Text)
            setEdited(static_cast<std::uint32_t>(stored), col, {});
    return static_cast<std::uint32_t>(stored);
}

void Table::resize(int rows, int cols)
{
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    if (cols != m_cols) {
        dropImage();
        m_columns.resize(static_cast<std::size_t>(cols));
        for (auto& c : m_columns)
            if (!c)
                c = std::make_shared<ColumnStore>();
        // New columns hold texts for every stored row.
        m_titles.resize(static_cast<std::size_t>(cols));
        for (EditedRow& e : m_edits) {
            e.texts.resize(static_cast<std::size_t>(cols));
            if (cols < 32)
                e.mask &= (std::uint32_t{1} << cols) - 1;
        }
        m_cols = cols;
    }
    const std::size_t dataRows = rows > 0 ? static_cast<std::size_t>(rows - 1) : 0;
    if (dataRows == 0 && m_stored > 0) {
        // No data row left: the stored rows go.
        dropImage();
        for (auto& c : m_columns)
            c = std::make_shared<ColumnStore>();
        m_stored = 0;
        m_order.clear();
        m_editSlot.clear();
        m_edits.clear();
    } else if (dataRows < m_order.size()) {
        m_order.resize(dataRows);
    } else {
        m_order.reserve(dataRows);
        while (m_order.size() < dataRows)
            m_order.push_back(appendStoredRow());
    }
    m_rows = rows;
}

void Table::clearCells()
{
    const int rows = m_rows;
    const int cols = m_cols;
    *this = Table();
    resize(rows, cols);
}

void Table::appendRow()
{
    resize(m_rows + 1, m_cols);
}

void Table::moveRow(int from, int to)
{
    if (from < 0 || from >= m_rows || to < 0 || to >= m_rows || from == to || m_cols == 0)
        return;
    if (from >= 1 && to >= 1) {
        const auto at = [this](int r) { return m_order.begin() + (r - 1); };
        if (from < to)
            std::rotate(at(from), at(from + 1), at(to + 1));
        else
            std::rotate(at(to), at(from), at(from + 1));
        return;
    }
    // The title row takes part: move the texts.
    std::vector<std::vector<std::string>> texts;
    const int lo = std::min(from, to);
    const int hi = std::max(from, to);
    for (int r = lo; r <= hi; ++r) {
        texts.emplace_back();
        for (int c = 0; c < m_cols; ++c)
            texts.back().push_back(cell(r, c));
    }
    if (from < to)
        std::rotate(texts.begin(), texts.begin() + 1, texts.end());
    else
        std::rotate(texts.begin(), texts.end() - 1, texts.end());
    for (int r = lo; r <= hi; ++r)
        for (int c = 0; c < m_cols; ++c)
            setCell(r, c, texts[static_cast<std::size_t>(r - lo)][static_cast<std::size_t>(c)]);
}

void Table::permuteDataRows(const std::vector<int>& order)
{
    assert(order.size() == m_order.size());
    std::vector<std::uint32_t> next(m_order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        next[i] = m_order[static_cast<std::size_t>(order[i] - 1)];
    m_order = std::move(next);
}

void Table::copyColumn(int dstCol, const Table& src, int srcCol, std::span<const int> srcRows)
{
    if (dstCol < 0 || dstCol >= m_cols)
        return;
    dropImage();
    const std::size_t dataRows = m_order.size();
    const auto sourceRow = [&](std::size_t i) -> int {
        if (!srcRows.empty())
            return i < srcRows.size() ? srcRows[i] : -1;
        return static_cast<int>(i) + 1;
    };
    for (EditedRow& e : m_edits)
        if (dstCol < 32)
            e.mask &= ~(std::uint32_t{1} << dstCol);
    std::shared_ptr<ColumnStore>& dst = m_columns[static_cast<std::size_t>(dstCol)];
    if (srcCol < 0 || srcCol >= src.m_cols) {
        dst = std::make_shared<ColumnStore>();  // empty texts
        return;
    }
    static const std::string empty;
    const ColumnStore& from = src.column(srcCol);
    if (viewsRowsOf(src, srcRows)) {
        dst = src.m_columns[static_cast<std::size_t>(srcCol)];
        // Text columns hold their texts; the other kinds carry src's few edited cells over.
        if (from.kind != CellKind::Text && src.anyEdited())
            for (const std::uint32_t s : m_order)
                if (const std::string* t = src.editedText(s, srcCol))
                    setEdited(s, dstCol, *t);
        return;
    }
    ColumnStore col;
    col.kind = from.kind;
    col.resize(m_stored);
    if (col.kind == CellKind::Text && !from.texts.empty())
        col.texts.resize(m_stored);
    std::vector<std::pair<std::uint32_t, const std::string*>> edits;
    for (std::size_t i = 0; i < dataRows; ++i) {
        const std::uint32_t d = m_order[i];
        const int r = sourceRow(i);
        if (r < 1 || r >= src.m_rows) {
            if (col.kind != CellKind::Text)
                edits.emplace_back(d, nullptr);
            continue;
        }
        const std::uint32_t s = src.storedRow(r);
        switch (col.kind) {
        case CellKind::Text:
            if (!from.texts.empty())
                col.texts[d] = from.text(s);
            break;
        case CellKind::Drawing: col.drawing[d] = from.drawing[s]; break;
        case CellKind::Value:
        case CellKind::Range:
            col.flags[d] = from.flags[s];
            col.classes[d] = from.classes[s];
            [[fallthrough]];
        case CellKind::V3Range:
            col.a[d] = from.a[s];
            if (col.kind != CellKind::Value)
                col.b[d] = from.b[s];
            break;
        }
        if (col.kind != CellKind::Text)
            if (const std::string* t = src.editedText(s, srcCol))
                edits.emplace_back(d, t);
    }
    dst = std::make_shared<ColumnStore>(std::move(col));
    for (const auto& [d, t] : edits)
        setEdited(d, dstCol, t != nullptr ? *t : empty);
}

bool Table::viewsRowsOf(const Table& src, std::span<const int> srcRows) const
{
    if (m_stored != src.m_stored || (srcRows.empty() ? src.m_order.size() : srcRows.size()) < m_order.size())
        return false;
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        const int r = srcRows.empty() ? static_cast<int>(i) + 1 : srcRows[i];
        if (r < 1 || r >= src.m_rows || src.storedRow(r) != m_order[i])
            return false;
    }
    return true;
}

void Table::viewRows(const Table& src, int cols, std::span<const int> srcRows, std::span<const int> keep)
{
    cols = std::max(cols, 0);
    const std::size_t rows = srcRows.empty() ? src.m_order.size() : srcRows.size();
    // The texts of the kept columns, by data row.
    std::vector<std::pair<int, std::vector<std::string>>> kept;
    for (const int k : keep) {
        if (k < 0 || k >= std::min(cols, m_cols))
            continue;
        std::vector<std::string> texts(std::min(rows, m_order.size()));
        for (std::size_t i = 0; i < texts.size(); ++i)
            appendCell(static_cast<int>(i) + 1, k, texts[i]);
        kept.emplace_back(k, std::move(texts));
    }

    dropImage();
    m_titles.resize(static_cast<std::size_t>(cols));
    m_columns.assign(static_cast<std::size_t>(cols), nullptr);
    for (auto& c : m_columns)
        c = std::make_shared<ColumnStore>();
    m_cols = cols;
    m_stored = src.m_stored;
    if (srcRows.empty()) {
        m_order.assign(src.m_order.begin(), src.m_order.end());
    } else {
        m_order.resize(rows);
        for (std::size_t i = 0; i < rows; ++i) {
            assert(srcRows[i] >= 1 && srcRows[i] < src.m_rows);
            m_order[i] = src.storedRow(srcRows[i]);
        }
    }
    m_rows = static_cast<int>(rows) + 1;
    m_editSlot.clear();
    m_edits.clear();

    for (auto& [k, texts] : kept) {
        ColumnStore& c = *m_columns[static_cast<std::size_t>(k)];
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].empty())
                continue;
            if (c.texts.empty())
                c.texts.resize(m_stored);
            c.texts[m_order[i]] = std::move(texts[i]);
        }
    }
}

void Table::permuteStoredOrder(std::span<const std::uint32_t> order)
{
    assert(order.size() == m_order.size());
    std::vector<std::uint32_t> next(m_order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        next[i] = m_order[order[i]];
    m_order = std::move(next);
}

std::uint32_t Table::detachRow(int row)
{
    assert(row >= 1 && row < m_rows);
    const auto at = m_order.begin() + (row - 1);
    const std::uint32_t stored = *at;
    m_order.erase(at);
    --m_rows;
    return stored;
}

void Table::attachRow(int row, std::uint32_t stored)
{
    assert(row >= 1 && row <= m_rows && stored < m_stored);
    m_order.insert(m_order.begin() + (row - 1), stored);
    ++m_rows;
}

void Table::revertCell(int row, int col)
{
    if (row < 1 || row >= m_rows || col < 0 || col >= m_cols || col >= 32)
        return;
    const std::uint32_t stored = storedRow(row);
    if (stored >= m_editSlot.size() || m_editSlot[stored] < 0)
        return;
    rowChanged(stored);
    EditedRow& e = m_edits[static_cast<std::size_t>(m_editSlot[stored])];
    e.mask &= ~(std::uint32_t{1} << col);
    std::string().swap(e.texts[static_cast<std::size_t>(col)]);
}

bool Table::operator==(const Table& other) const
{
    if (m_rows != other.m_rows || m_cols != other.m_cols)
        return false;
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_cols; ++c)
            if (cell(r, c) != other.cell(r, c))
                return false;
    return true;
}

std::uint32_t Table::appendRowsOf(const Table& src)
{
    assert(src.m_cols == m_cols);
    const std::size_t first = m_stored;
    const std::size_t added = src.m_order.size();
    const std::size_t total = first + added;
    std::vector<std::pair<std::uint32_t, int>> texts;  // cells taken as texts: (src stored, col)
    for (int col = 0; col < m_cols; ++col) {
        const ColumnStore& from = src.column(col);
        ColumnStore& to = writableColumn(col);
        if (to.kind != from.kind) {
            to.resize(total);
            texts.reserve(texts.size() + added);
            for (const std::uint32_t s : src.m_order)
                texts.emplace_back(s, col);
            continue;
        }
        switch (to.kind) {
        case CellKind::Text:
            if (from.texts.empty())
                break;
            to.texts.resize(first);
            to.texts.reserve(total);
            for (const std::uint32_t s : src.m_order)
                to.texts.push_back(from.text(s));
            break;
        case CellKind::Drawing:
            to.drawing.reserve(total);
            for (const std::uint32_t s : src.m_order)
                to.drawing.push_back(from.drawing[s]);
            break;
        case CellKind::Value:
        case CellKind::Range:
            to.flags.reserve(total);
            to.classes.reserve(total);
            for (const std::uint32_t s : src.m_order) {
                to.flags.push_back(from.flags[s]);
                to.classes.push_back(from.classes[s]);
            }
            [[fallthrough]];
        case CellKind::V3Range:
            to.a.reserve(total);
            for (const std::uint32_t s : src.m_order)
                to.a.push_back(from.a[s]);
            if (to.kind != CellKind::Value) {
                to.b.reserve(total);
                for (const std::uint32_t s : src.m_order)
                    to.b.push_back(from.b[s]);
            }
            break;
        }
        // Cells edited in src keep their texts.
        if (from.kind != CellKind::Text && src.anyEdited())
            for (const std::uint32_t s : src.m_order)
                if (src.editedText(s, col) != nullptr)
                    texts.emplace_back(s, col);
    }
    m_stored = total;
    if (!m_editSlot.empty())
        m_editSlot.resize(m_stored, -1);
    // src stored row -> the stored row it became here
    std::vector<std::uint32_t> placed(src.m_stored, 0);
    m_order.reserve(m_order.size() + added);
    for (std::size_t i = 0; i < added; ++i) {
        placed[src.m_order[i]] = static_cast<std::uint32_t>(first + i);
        m_order.push_back(static_cast<std::uint32_t>(first + i));
    }
    m_rows = static_cast<int>(m_order.size()) + 1;
    for (const auto& [s, col] : texts) {
        const ColumnStore& to = column(col);
        const std::uint32_t d = placed[s];
        const std::string* edited = src.editedText(s, col);
        const std::string text = edited != nullptr ? *edited : src.storedText(s, col);
        if (to.kind == CellKind::Text) {
            ColumnStore& w = writableColumn(col);
            if (w.texts.size() < m_stored)
                w.texts.resize(m_stored);
            w.texts[d] = text;
        } else {
            setEdited(d, col, text);
        }
    }
    return static_cast<std::uint32_t>(first);
}

void Table::removeStoredRowsFrom(std::uint32_t first)
{
    if (first >= m_stored)
        return;
    std::erase_if(m_order, [first](std::uint32_t s) { return s >= first; });
    m_rows = static_cast<int>(m_order.size()) + 1;
    m_stored = first;
    if (m_imaged.size() > m_stored)
        m_imaged.resize(m_stored);  // stored rows added later take these numbers
    for (int col = 0; col < m_cols; ++col) {
        ColumnStore& c = writableColumn(col);
        c.resize(m_stored);
    }
    if (m_editSlot.size() > m_stored)
        m_editSlot.resize(m_stored);
}

}  // namespace veltris
