// Paths: making them absolute, their folder, stem and extension, and where a command's
// default output goes. The extension of a path is the text after the last "." of its
// file name (the part after the last "/"); a file name without "." has none.
#ifndef BRASSWICK_RUNTIME_PLATFORM_PATHS_H_
#define BRASSWICK_RUNTIME_PLATFORM_PATHS_H_

#include <string>
#include <string_view>

namespace brasswick {

// "~" is the home folder (HOME plus "/", or "" when HOME is unset), "~/rest" the home
// folder followed by rest. Empty stays empty; paths beginning with "/" or "~" stay as
// they are; others are put after base (DirectoryForm(base), or the current folder when
// base is empty). Every "/./" then becomes "/". ".." is not resolved.
std::string ResolvePath(std::string_view path, std::string_view base = "");

// The path with all trailing "/" replaced by exactly one; empty stays empty.
std::string DirectoryForm(std::string_view path);

// The path's last part, after its last "/" (the whole path when it has none).
std::string_view FileNameOf(std::string_view path);

// The file name (after the last "/") without its extension.
std::string FileStem(std::string_view path);
// "." and the extension, or "" when the file name has no ".".
std::string DottedExtension(std::string_view path);
// Folder, stem, suffix, DottedExtension: ("/a/game.p8", ".copy") gives "/a/game.copy.p8".
// Empty for an empty path.
std::string InsertBeforeExtension(std::string_view path, std::string_view suffix);

// Where an export goes. input_path is the resolved .p8 path; output_argument the
// user's output value ("" for none); suffix such as ".map.png". No output: the input's
// stem plus suffix. An output naming an existing folder: that folder plus the default
// name. Otherwise the output as given, with ".png" added when append_png is set and it
// has no extension. The result is resolved against the input's folder. A non-empty
// stem names the default output instead of the input's own stem.
std::string DefaultOutputPath(std::string_view input_path, std::string_view output_argument,
                              std::string_view suffix, bool append_png, std::string_view stem = "");

// The path with the file name's extension (from its last "." on) replaced by "." and
// extension, or dropped when extension is empty. "" for an empty path. The folder part
// (up to the last "/") is never changed: "/a.b/c" with "js" gives "/a.b/c.js".
std::string ReplaceExtension(std::string_view path, std::string_view extension);

}  // namespace brasswick

#endif  // BRASSWICK_RUNTIME_PLATFORM_PATHS_H_
