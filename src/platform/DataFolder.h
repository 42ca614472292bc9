#pragma once

#include <expected>
#include <filesystem>
#include <string>

namespace pressling {

// The per-user folder that holds kvstore.sqlite, CDModel.sqlite and catalog.sqlite, shared by
// pressling, feedgrab and pressling-cli.
//
// Chosen, first match wins:
//   1. the override (pressling-cli --data-dir DIR), see setDataFolderOverride;
//   2. $PRESSLING_DATA_DIR;
//   3. $XDG_DATA_HOME/pressling (only an absolute $XDG_DATA_HOME counts, as the XDG base
//      directory rules say);
//   4. $HOME/.local/share/pressling, or the account's home folder from the password database
//      when $HOME is unset.
// An empty variable counts as unset. A relative override or $PRESSLING_DATA_DIR is taken
// relative to the working folder at the time of the call, and returned absolute.
//
// Any thread. The environment is read on every call; callers that set variables do so before
// other threads start, as with any use of setenv.

// The data folder, created with its parents if missing, as an absolute path. Fails with a
// message naming the folder and the reason when it cannot be created or exists as something
// other than a folder, or when no rule above gives a folder (no home folder at all). The folder
// is not checked for being writable; the stores in it report that, naming their files.
std::expected<std::filesystem::path, std::string> dataFolder();

// Makes folder the data folder for the rest of the process, ahead of every variable; an empty
// path removes the override. Nothing is created until dataFolder() is next called. Set it
// before the stores are first used: a store already open keeps its file.
void setDataFolderOverride(std::filesystem::path folder);

}  // namespace pressling
