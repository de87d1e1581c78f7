// The command and formatter procedures that the embedded command table names.
// Each command takes nothing, returns 0 and leaves its outcome in ExitCode().
#ifndef BRASSWICK_COMMANDS_COMMAND_PROCEDURES_H_
#define BRASSWICK_COMMANDS_COMMAND_PROCEDURES_H_

#include <string>

namespace brasswick {

int ExportMapRT();
int ExportSpritesheetRT();
int ExportLabelRT();
int ExportSpritesRT();
int ColorImageRT();
int CopyP8RT();
int SetLabelRT();
int SetTitleRT();
int EditHTMLRT();
int ExtractJSROMRT();
int VersionRT();
int ConvertRT();
int CountRT();
int SetSheetRT();
int SetMapRT();

// Formatter of the copy command's destFile: "-" stands for the source file.
std::string FormatCopyDestRT(const std::string& value);

}  // namespace brasswick

#endif  // BRASSWICK_COMMANDS_COMMAND_PROCEDURES_H_
