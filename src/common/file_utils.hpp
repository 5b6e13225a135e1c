// Folder creation shared by the log's createDir and the debug dumps.
#pragma once

namespace tessivar {

// Creates path with every missing parent ('/' or '\' separate parts; the
// text is trimmed first). 0 on success or for an empty path; -1 null (not
// logged); -2 copy failed; -3 a parent or -4 the folder itself cannot be
// made. quiet suppresses the log lines.
int createDirTree(const char *path, bool quiet);

}  // namespace tessivar
