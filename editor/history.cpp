#include "editor/history.h"

namespace editor {

void EditHistory::record(const QString& what, int mergeKey, catalogue::Fields before, catalogue::Fields after,
                         int row) {
    if (clean_ && *clean_ > index_) clean_.reset();
    steps_.resize(index_);
    if (mergeKey >= 0 && index_ > 0 && steps_.back().mergeKey == mergeKey && clean_ != index_) {
        steps_.back().after = std::move(after);
    } else {
        steps_.push_back({what, std::move(before), std::move(after), mergeKey, row});
        ++index_;
    }
    notify();
}

std::optional<EditHistory::State> EditHistory::undo() {
    if (!canUndo()) return std::nullopt;
    const Step& step = steps_[--index_];
    notify();
    return State{step.before, step.row};
}

std::optional<EditHistory::State> EditHistory::redo() {
    if (!canRedo()) return std::nullopt;
    const Step& step = steps_[index_++];
    notify();
    return State{step.after, step.row};
}

void EditHistory::setClean() {
    clean_ = index_;
    notify();
}

void EditHistory::clear() {
    steps_.clear();
    index_ = 0;
    clean_ = 0;
    notify();
}

}  // namespace editor
