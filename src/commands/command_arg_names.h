// The argument names the command procedures read, as the command table spells them.
// Each command's names stand together in one list so that a test can hold them against
// that command's table entry: a misspelt name would otherwise read as never given.
#ifndef BRASSWICK_COMMANDS_COMMAND_ARG_NAMES_H_
#define BRASSWICK_COMMANDS_COMMAND_ARG_NAMES_H_

#include <span>
#include <string_view>

namespace brasswick {
namespace arg {

inline constexpr std::string_view kP8File = "p8File";
inline constexpr std::string_view kImageFile = "imageFile";
inline constexpr std::string_view kSourceFile = "sourceFile";
inline constexpr std::string_view kDestFile = "destFile";
inline constexpr std::string_view kOutputFile = "outputFile";
inline constexpr std::string_view kScale = "scale";
inline constexpr std::string_view kCells = "cells";
inline constexpr std::string_view kSub = "sub";
inline constexpr std::string_view kHalf = "half";
inline constexpr std::string_view kNumbers = "numbers";
inline constexpr std::string_view kFit = "fit";
inline constexpr std::string_view kClear = "clear";
inline constexpr std::string_view kDelete = "delete";
inline constexpr std::string_view kPalette = "palette";
inline constexpr std::string_view kAlternate = "alternate";
inline constexpr std::string_view kTransparent = "transparent";
inline constexpr std::string_view kInputFile = "inputFile";
inline constexpr std::string_view kTitle = "title";
inline constexpr std::string_view kSubtitle = "subtitle";
inline constexpr std::string_view kFitPalette = "fitPalette";
inline constexpr std::string_view kJsFile = "jsFile";
inline constexpr std::string_view kLabel = "label";
inline constexpr std::string_view kHtmlFile = "htmlFile";
inline constexpr std::string_view kHeaders = "headers";
inline constexpr std::string_view kBackground = "background";
inline constexpr std::string_view kTouchBackground = "touchBackground";
inline constexpr std::string_view kControls = "controls";
inline constexpr std::string_view kDpad = "dpad";
inline constexpr std::string_view kButtons = "buttons";
inline constexpr std::string_view kXButton = "xButton";
inline constexpr std::string_view kOButton = "oButton";
inline constexpr std::string_view kStartButton = "startButton";
inline constexpr std::string_view kNoUp = "noUp";
inline constexpr std::string_view kNoDown = "noDown";
inline constexpr std::string_view kNoLeft = "noLeft";
inline constexpr std::string_view kNoRight = "noRight";
inline constexpr std::string_view kNoDpad = "noDpad";
inline constexpr std::string_view kNoX = "noX";
inline constexpr std::string_view kNoO = "noO";
inline constexpr std::string_view kNoStart = "noStart";
inline constexpr std::string_view kInput = "input";
inline constexpr std::string_view kOutput = "output";
inline constexpr std::string_view kCount = "count";
inline constexpr std::string_view kCart = "cart";
inline constexpr std::string_view kPicture = "picture";
inline constexpr std::string_view kAt = "at";
inline constexpr std::string_view kAddSprites = "addSprites";
inline constexpr std::string_view kMinify = "minify";
// A flag of its own, so that "--minify=locals" reads as the one word makers type.
inline constexpr std::string_view kMinifyLocals = "minify=locals";
inline constexpr std::string_view kKeep = "keep";
inline constexpr std::string_view kVerbose = "verbose";

}  // namespace arg

inline constexpr std::string_view kMapArgNames[] = {
    arg::kP8File, arg::kOutputFile, arg::kScale,     arg::kCells,
    arg::kHalf,   arg::kPalette,    arg::kAlternate, arg::kTransparent};
inline constexpr std::string_view kSheetArgNames[] = {
    arg::kP8File, arg::kOutputFile, arg::kScale,     arg::kSub,
    arg::kHalf,   arg::kPalette,    arg::kAlternate, arg::kTransparent};
inline constexpr std::string_view kLabelArgNames[] = {
    arg::kP8File, arg::kOutputFile, arg::kScale, arg::kPalette, arg::kAlternate, arg::kTransparent};
inline constexpr std::string_view kSpritesArgNames[] = {
    arg::kP8File, arg::kOutputFile, arg::kNumbers,   arg::kScale,
    arg::kHalf,   arg::kPalette,    arg::kAlternate, arg::kTransparent};
inline constexpr std::string_view kColorImageArgNames[] = {
    arg::kImageFile, arg::kOutputFile, arg::kScale, arg::kFit, arg::kPalette, arg::kAlternate};
inline constexpr std::string_view kCopyArgNames[] = {arg::kSourceFile, arg::kDestFile, arg::kClear,
                                                     arg::kDelete};
inline constexpr std::string_view kSetTitleArgNames[] = {arg::kInputFile, arg::kOutputFile,
                                                         arg::kTitle, arg::kSubtitle};
inline constexpr std::string_view kSetLabelArgNames[] = {arg::kInputFile, arg::kImageFile,
                                                         arg::kOutputFile, arg::kFitPalette};
inline constexpr std::string_view kExtractJsRomArgNames[] = {
    arg::kJsFile, arg::kOutputFile, arg::kTitle, arg::kSubtitle, arg::kLabel};
inline constexpr std::string_view kSetHtmlArgNames[] = {
    arg::kHtmlFile,        arg::kOutputFile,  arg::kTitle, arg::kHeaders, arg::kBackground,
    arg::kTouchBackground, arg::kControls,    arg::kDpad,  arg::kButtons, arg::kXButton,
    arg::kOButton,         arg::kStartButton, arg::kNoUp,  arg::kNoDown,  arg::kNoLeft,
    arg::kNoRight,         arg::kNoDpad,      arg::kNoX,   arg::kNoO,     arg::kNoStart};

inline constexpr std::string_view kConvertArgNames[] = {
    arg::kInput, arg::kOutput, arg::kLabel,        arg::kTitle, arg::kSubtitle,
    arg::kCount, arg::kMinify, arg::kMinifyLocals, arg::kKeep,  arg::kVerbose};
inline constexpr std::string_view kCountArgNames[] = {arg::kCart};

inline constexpr std::string_view kSetSheetArgNames[] = {
    arg::kCart, arg::kPicture, arg::kOutput, arg::kAt, arg::kFitPalette, arg::kTransparent};
inline constexpr std::string_view kSetMapArgNames[] = {
    arg::kCart, arg::kPicture, arg::kOutput, arg::kAt, arg::kAddSprites, arg::kTransparent};

struct CommandArgNames {
  std::string_view command;  // the command's first name in the table
  std::span<const std::string_view> names;
  // Whether it writes a file, which --open and --locate then act on.
  bool writes = true;
};

inline constexpr CommandArgNames kCommandArgNames[] = {
    {"map", kMapArgNames},
    {"sheet", kSheetArgNames},
    {"label", kLabelArgNames},
    {"sprites", kSpritesArgNames},
    {"colorimage", kColorImageArgNames},
    {"copy", kCopyArgNames},
    {"settitle", kSetTitleArgNames},
    {"setlabel", kSetLabelArgNames},
    {"extractjsrom", kExtractJsRomArgNames},
    {"sethtml", kSetHtmlArgNames},
    {"convert", kConvertArgNames},
    {"count", kCountArgNames, false},
    {"setsheet", kSetSheetArgNames},
    {"setmap", kSetMapArgNames},
};

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_COMMAND_ARG_NAMES_H_
