#pragma once
// The editor's undo history: every edit as the fields before and after it. No widgets.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "catalogue/fields.h"

namespace editor {

class EditHistory {
public:
    // The state an undo or redo leaves: the fields, and the entry (0-based row, -1: none) the edit
    // concerned, to show it.
    struct State {
        catalogue::Fields fields;
        int row = -1;
    };

    // Records an edit from `before` to `after`, dropping whatever could be redone. An edit with the
    // same `mergeKey` (>= 0) as the last one, such as the next keystroke in the same field, joins it
    // and is undone with it, unless the history was marked clean (saved) in between.
    void record(const QString& what, int mergeKey, catalogue::Fields before, catalogue::Fields after,
                int row);

    bool canUndo() const { return index_ > 0; }
    bool canRedo() const { return index_ < steps_.size(); }
    // What undo and redo would do ("Edit title"); empty when they cannot.
    QString undoText() const { return canUndo() ? steps_[index_ - 1].what : QString(); }
    QString redoText() const { return canRedo() ? steps_[index_].what : QString(); }
    std::optional<State> undo();
    std::optional<State> redo();

    // Clean: the fields are those last saved (or read).
    bool isClean() const { return clean_ == index_; }
    void setClean();
    void clear();

    // Called whenever any of the above changes.
    std::function<void()> changed;

private:
    struct Step {
        QString what;
        catalogue::Fields before, after;
        int mergeKey, row;
    };
    void notify() {
        if (changed) changed();
    }

    std::vector<Step> steps_;
    std::size_t index_ = 0;                // steps_[0, index_) are done
    std::optional<std::size_t> clean_{0};  // none: the saved state was dropped
};

}  // namespace editor
