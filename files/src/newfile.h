#ifndef ANIMATIONMODEL_FILES_SRC_NEWFILE_H
#define ANIMATIONMODEL_FILES_SRC_NEWFILE_H

// The new file that replaces a target once it is complete.

#include <animationmodel/files/pendingtemporaries.h>

#include "descriptor.h"

#include <optional>
#include <string>

namespace Korva::files {

/// The file about to replace the target: unnamed until its text is complete
/// where the file system allows (O_TMPFILE), else named from the start. A
/// name is listed as pending (PendingTemporary) before it is created and
/// until it is gone, so that a program's signal handler can remove it.
///
/// Invariants:
///  1. A name this object gave a file is renamed over the target or
///     unlinked, and only then taken off the list.
class NewFile {
public:
    /// Opens it in `folder` (empty or ending in '/'); throws naming `path`.
    NewFile(const std::string& folder, const std::string& path);
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    /// Removes the name, if the file still has one.
    ~NewFile();

    int fd() const noexcept { return _file.get(); }

    /// Gives an unnamed file a fresh name beside the target, flushes and
    /// closes it; the errno of a failure, or 0.
    int finish();

    /// Renames the finished file to `target`; the errno of a failure, or 0.
    int renameTo(const std::string& target);

private:
    // A fresh name ".am-XXXXXX" in the folder; the errno of a failure, or 0.
    int freshName(std::string& name) const;
    // Creates the file under a fresh, listed name; the errno of a failure, or 0.
    int createNamed();
    // Links the unnamed file under a fresh, listed name; the errno of a failure, or 0.
    int link();

    std::string _folder;
    Descriptor _file;
    std::string _name;
    std::optional<PendingTemporary> _pending;
};

} // namespace Korva::files

#endif
