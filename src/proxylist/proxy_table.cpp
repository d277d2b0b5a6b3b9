#include "proxylist/proxy_table.h"

#include <limits>
#include <utility>

namespace pv::proxylist {

namespace {

constexpr std::string_view kUnverifiedDelay = "**";
constexpr std::string_view kUnverifiedStatus = "-";

bool IsImage(int image) {
    return image >= kNoImage && image <= kSlowValid;
}

std::string_view Capped(std::string_view text) {
    return text.substr(0, std::numeric_limits<std::uint32_t>::max());
}

} // namespace

int ProxyTable::RowCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

std::string ProxyTable::NumberText(int row) const {
    switch (rows_[static_cast<std::size_t>(row)].number) {
    case Number::kEmpty:
        return {};
    case Number::kRowIndexPlusOne:
        return std::to_string(row + 1);
    case Number::kOverridden:
        return numberOverrides_.at(row);
    }
    return {};
}

void ProxyTable::StoreHostAndPort(Row& row, std::string_view host, std::string_view port) {
    host = Capped(host);
    port = Capped(port);
    row.hostAndPort = arena_.Store(host, port).data();
    row.hostSize = static_cast<std::uint32_t>(host.size());
    row.portSize = static_cast<std::uint32_t>(port.size());
}

bool ProxyTable::MarkChanged(int row) {
    if (row < rowsSeenByView_) {
        if (firstChanged_ > lastChanged_) {
            firstChanged_ = lastChanged_ = row;
        } else {
            firstChanged_ = std::min(firstChanged_, row);
            lastChanged_ = std::max(lastChanged_, row);
        }
    }
    return !std::exchange(dirty_, true);
}

void ProxyTable::NotifyIfNeeded(bool notify) {
    if (!notify) {
        return;
    }
    std::function<void()> listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener) {
        listener();
    }
}

int ProxyTable::InsertRow(int stateImage) {
    bool notify = false;
    int index = 0;
    {
        std::lock_guard lock(mutex_);
        index = static_cast<int>(rows_.size());
        rows_.emplace_back().image =
            static_cast<std::int8_t>(IsImage(stateImage) ? stateImage : kNoImage);
        notify = MarkChanged(index);
    }
    NotifyIfNeeded(notify);
    return index;
}

int ProxyTable::AppendProxyRow(std::string_view host, std::string_view port) {
    bool notify = false;
    int index = 0;
    {
        std::lock_guard lock(mutex_);
        index = static_cast<int>(rows_.size());
        Row& row = rows_.emplace_back();
        row.image = kNotVerified;
        row.number = Number::kRowIndexPlusOne;
        StoreHostAndPort(row, host, port);
        row.delay.Assign(kUnverifiedDelay);
        row.status.Assign(kUnverifiedStatus);
        notify = MarkChanged(index);
    }
    NotifyIfNeeded(notify);
    return index;
}

std::string ProxyTable::GetCellText(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (!Exists(row)) {
        return {};
    }
    const Row& r = rows_[static_cast<std::size_t>(row)];
    switch (column) {
    case kNumberColumn:
        return NumberText(row);
    case kHostColumn:
        return std::string(r.hostAndPort, r.hostSize);
    case kPortColumn:
        return std::string(r.hostAndPort + r.hostSize, r.portSize);
    case kDelayColumn:
        return std::string(r.delay.View());
    case kStatusColumn:
        return std::string(r.status.View());
    default:
        return {};
    }
}

void ProxyTable::SetCellText(int row, int column, std::string_view text) {
    bool notify = false;
    {
        std::lock_guard lock(mutex_);
        if (!Exists(row) || column < 0 || column >= kColumnCount) {
            return;
        }
        Row& r = rows_[static_cast<std::size_t>(row)];
        switch (column) {
        case kNumberColumn:
            numberOverrides_.erase(row);
            if (text.empty()) {
                r.number = Number::kEmpty;
            } else if (text == std::to_string(row + 1)) {
                r.number = Number::kRowIndexPlusOne;
            } else {
                r.number = Number::kOverridden;
                numberOverrides_.emplace(row, std::string(text));
            }
            break;
        case kHostColumn: {
            const std::string port(r.hostAndPort + r.hostSize, r.portSize);
            StoreHostAndPort(r, text, port);
            break;
        }
        case kPortColumn: {
            const std::string host(r.hostAndPort, r.hostSize);
            StoreHostAndPort(r, host, text);
            break;
        }
        default: {
            SmallText& cell = column == kDelayColumn ? r.delay : r.status;
            heapTextBytes_ -= cell.HeapBytes();
            cell.Assign(text);
            heapTextBytes_ += cell.HeapBytes();
            break;
        }
        }
        notify = MarkChanged(row);
    }
    NotifyIfNeeded(notify);
}

void ProxyTable::SetStateImage(int row, int image) {
    bool notify = false;
    {
        std::lock_guard lock(mutex_);
        if (!Exists(row) || !IsImage(image)) {
            return;
        }
        rows_[static_cast<std::size_t>(row)].image = static_cast<std::int8_t>(image);
        notify = MarkChanged(row);
    }
    NotifyIfNeeded(notify);
}

int ProxyTable::GetStateImage(int row) const {
    std::lock_guard lock(mutex_);
    return Exists(row) ? int{rows_[static_cast<std::size_t>(row)].image} : int{kNoImage};
}

void ProxyTable::EnsureVisible(int row) {
    bool notify = false;
    {
        std::lock_guard lock(mutex_);
        if (!Exists(row)) {
            return;
        }
        ensureVisible_ = row;
        notify = !std::exchange(dirty_, true);
    }
    NotifyIfNeeded(notify);
}

std::optional<ProxyRow> ProxyTable::ReadRow(int row) const {
    std::lock_guard lock(mutex_);
    if (!Exists(row)) {
        return std::nullopt;
    }
    const Row& r = rows_[static_cast<std::size_t>(row)];
    return ProxyRow{NumberText(row),
                    std::string(r.hostAndPort, r.hostSize),
                    std::string(r.hostAndPort + r.hostSize, r.portSize),
                    std::string(r.delay.View()),
                    std::string(r.status.View()),
                    r.image};
}

void ProxyTable::SetResult(int row, std::string_view delay, std::string_view status, int image) {
    bool notify = false;
    {
        std::lock_guard lock(mutex_);
        if (!Exists(row)) {
            return;
        }
        Row& r = rows_[static_cast<std::size_t>(row)];
        heapTextBytes_ -= r.delay.HeapBytes() + r.status.HeapBytes();
        r.delay.Assign(delay);
        r.status.Assign(status);
        heapTextBytes_ += r.delay.HeapBytes() + r.status.HeapBytes();
        if (IsImage(image)) {
            r.image = static_cast<std::int8_t>(image);
        }
        notify = MarkChanged(row);
    }
    NotifyIfNeeded(notify);
}

void ProxyTable::SetChangeListener(std::function<void()> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

TableChanges ProxyTable::TakeChanges() {
    std::lock_guard lock(mutex_);
    TableChanges changes;
    changes.rowCount = static_cast<int>(rows_.size());
    changes.firstNewRow = rowsSeenByView_;
    changes.firstChangedRow = firstChanged_;
    changes.lastChangedRow = lastChanged_;
    changes.ensureVisibleRow = std::exchange(ensureVisible_, std::nullopt);
    rowsSeenByView_ = changes.rowCount;
    firstChanged_ = 0;
    lastChanged_ = -1;
    dirty_ = false;
    return changes;
}

std::size_t ProxyTable::StoreBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t overrides = 0;
    for (const auto& [row, text] : numberOverrides_) {
        overrides += sizeof(row) + sizeof(text) + text.capacity();
    }
    return sizeof(*this) + rows_.size() * sizeof(Row) + arena_.AllocatedBytes() + heapTextBytes_ +
           overrides;
}

} // namespace pv::proxylist
