// SPDX-License-Identifier: MIT
#pragma once
// The folders this process has already cleared of the temporaries of killed saves, shared by the
// file services of each system. A save clears its folder the first time only: a batch of saves in
// one folder then lists it once, not once per save, so its cost grows with the batch, not with its
// square.

#include <mutex>
#include <set>

namespace vextra::platform {

template <typename Folder>
class SweptFolders {
public:
    // True the first time `folder` is given in this process, from any thread.
    bool first_visit(const Folder& folder) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return folders_.insert(folder).second;
    }

private:
    std::mutex mutex_;
    std::set<Folder> folders_;
};

}  // namespace vextra::platform
