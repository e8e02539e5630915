// The folder under Application Data that holds the two cat icon files:
// %AppData%\brenoka\miaoIco\. Installing writes whichever file is missing;
// deleting empties and removes the folder this run installed into. Nothing is
// ever reported: the registry values decide what the user is told.
#pragma once

#include <optional>
#include <string>

#include "system/file_system_api.h"

namespace purrbox {

class IconFileSet {
public:
    explicit IconFileSet(FileSystemApi& api) : api_(api) {}

    // Creates brenoka\ and brenoka\miaoIco\ under Application Data (under the
    // current directory when Application Data is unknown) and writes empty.dll
    // and full.dll unless an entry of that name is already there. Writes
    // nothing once either level turns out to be a link or no folder at all.
    void installIconFiles();

    // Deletes everything in the recorded folder, then the folder itself; does
    // nothing before the first install. A link, at either level or inside, is
    // removed as a link and never followed; one at a level ends the delete.
    void deleteIconFolder();

    // Forgets the recorded folder; nothing on disk changes.
    void releaseIconFolder();

    // The folder the last install used, ending with a backslash.
    const std::optional<std::string>& recordedFolder() const { return folder_; }

private:
    FileSystemApi& api_;
    std::optional<std::string> folder_;
};

}  // namespace purrbox
