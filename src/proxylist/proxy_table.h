#pragma once

#include "proxylist/small_text.h"
#include "proxylist/text_arena.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pv::proxylist {

// The state images of a row, shown at the left of its first cell.
enum StateImage : int { kNoImage = -1, kNotVerified = 0, kValid = 1, kInvalid = 2, kSlowValid = 3 };

enum Column : int {
    kNumberColumn = 0,
    kHostColumn = 1,
    kPortColumn = 2,
    kDelayColumn = 3,
    kStatusColumn = 4,
    kColumnCount = 5
};

// One row as it was at one moment.
struct ProxyRow {
    std::string number;
    std::string host;
    std::string port;
    std::string delay;
    std::string status;
    int stateImage = kNoImage;
};

// What changed since a view last asked: rows appended and rows whose cells or image changed.
struct TableChanges {
    int rowCount = 0;
    // Rows from here to rowCount are new to the view.
    int firstNewRow = 0;
    // Earlier rows that changed, as an inclusive range; empty when first > last.
    int firstChangedRow = 0;
    int lastChangedRow = -1;
    // The last row that someone asked to be scrolled into view, if any.
    std::optional<int> ensureVisibleRow;
};

// The proxy list: the only store of the proxies and their results, and the data of the
// list control that shows them. Rows are only appended, so a row index names a row for the
// table's life.
//
// Every operation may be called from any thread. It takes effect at once, in the order
// made, under the table's own short mutex, so workers never wait for the UI thread. A view
// registers a listener, which is called (outside the mutex) when the table changes after
// the view last took the changes; it then takes them in one batch with TakeChanges.
//
// Cell texts are code page 936 bytes. Reading a cell that does not exist gives the empty
// text; writing one does nothing.
class ProxyTable {
public:
    ProxyTable() = default;
    ProxyTable(const ProxyTable&) = delete;
    ProxyTable& operator=(const ProxyTable&) = delete;

    int RowCount() const;
    // Appends a row with all cells empty and the given image; returns its index.
    int InsertRow(int stateImage);
    std::string GetCellText(int row, int column) const;
    void SetCellText(int row, int column, std::string_view text);
    // 0 to 3 shows that image, -1 removes it; other values are ignored.
    void SetStateImage(int row, int image);
    int GetStateImage(int row) const; // kNoImage for a row that does not exist
    // Asks the view to scroll the row into sight; a row past the end does nothing.
    void EnsureVisible(int row);

    // Whole-row operations, each one step that no other operation can come between.
    //
    // Appends a row numbered index + 1, with host, port, "**", "-" and image 0.
    int AppendProxyRow(std::string_view host, std::string_view port);
    std::optional<ProxyRow> ReadRow(int row) const;
    // Writes a check's outcome: delay, status and image together.
    void SetResult(int row, std::string_view delay, std::string_view status, int image);

    void SetChangeListener(std::function<void()> listener);
    TableChanges TakeChanges();

    // Bytes the table holds, its row records and text storage included.
    std::size_t StoreBytes() const;

private:
    enum class Number : std::uint8_t { kEmpty, kRowIndexPlusOne, kOverridden };

    struct Row {
        // Host bytes followed by port bytes, in the arena.
        const char* hostAndPort = nullptr;
        std::uint32_t hostSize = 0;
        std::uint32_t portSize = 0;
        SmallText delay;
        SmallText status;
        std::int8_t image = kNoImage;
        Number number = Number::kEmpty;
    };

    bool Exists(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }
    std::string NumberText(int row) const;
    void StoreHostAndPort(Row& row, std::string_view host, std::string_view port);
    // Records a change for the view; returns whether the listener must be told.
    bool MarkChanged(int row);
    void NotifyIfNeeded(bool notify);

    mutable std::mutex mutex_;
    std::deque<Row> rows_;
    TextArena arena_;
    std::unordered_map<int, std::string> numberOverrides_;
    std::size_t heapTextBytes_ = 0;

    std::function<void()> listener_;
    bool dirty_ = false;
    int rowsSeenByView_ = 0;
    int firstChanged_ = 0;
    int lastChanged_ = -1;
    std::optional<int> ensureVisible_;
};

} // namespace pv::proxylist
