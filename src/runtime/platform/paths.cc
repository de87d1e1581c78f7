#include "runtime/platform/paths.h"

#include "runtime/platform/file_system.h"

namespace brasswick {

std::string_view FileNameOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ResolvePath(std::string_view path, std::string_view base) {
  std::string result(path);
  if (path == "~" || (path.size() >= 2 && path.substr(0, 2) == "~/")) {
    std::string home = HomeDirectory();
    if (!home.empty() && home.back() != '/') home += '/';
    result = home + std::string(path.substr(path.size() >= 2 ? 2 : 1));
  }
  if (result.empty()) return result;
  if (result.front() != '/' && result.front() != '~') {
    std::string folder = base.empty() ? CurrentDirectory() : DirectoryForm(base);
    std::size_t skip = result.find_first_not_of('/');
    result = folder + (skip == std::string::npos ? std::string() : result.substr(skip));
  }
  for (std::size_t at = result.find("/./"); at != std::string::npos; at = result.find("/./", at)) {
    result.replace(at, 3, "/");
  }
  return result;
}

std::string DirectoryForm(std::string_view path) {
  if (path.empty()) return std::string();
  std::size_t end = path.find_last_not_of('/');
  return std::string(end == std::string_view::npos ? std::string_view() : path.substr(0, end + 1)) +
         "/";
}

std::string FileStem(std::string_view path) {
  std::string_view name = FileNameOf(path);
  std::size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string DottedExtension(std::string_view path) {
  std::string_view name = FileNameOf(path);
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string InsertBeforeExtension(std::string_view path, std::string_view suffix) {
  if (path.empty()) return std::string();
  return FolderOf(path) + FileStem(path) + std::string(suffix) + DottedExtension(path);
}

std::string DefaultOutputPath(std::string_view input_path, std::string_view output_argument,
                              std::string_view suffix, bool append_png, std::string_view stem) {
  std::string default_name =
      (stem.empty() ? FileStem(input_path) : std::string(stem)) + std::string(suffix);
  std::string output;
  if (output_argument.empty()) {
    output = default_name;
  } else if (DirectoryExists(ResolvePath(output_argument, ""))) {
    output = DirectoryForm(ResolvePath(output_argument, "")) + default_name;
  } else {
    output = std::string(output_argument);
    if (append_png && DottedExtension(output).empty()) output += ".png";
  }
  return ResolvePath(output, FolderOf(input_path));
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  if (path.empty()) return "";
  const size_t slash = path.rfind('/');
  const size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  const bool has_extension = dot != std::string_view::npos && dot >= name_start;
  std::string out(path.substr(0, has_extension ? dot : path.size()));
  if (!extension.empty()) {
    out += '.';
    out += extension;
  }
  return out;
}

}  // namespace brasswick
