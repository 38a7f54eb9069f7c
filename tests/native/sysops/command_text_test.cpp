#include "sysops/command_text.h"

#include <gtest/gtest.h>

TEST(RemovalCommands, ThreePowerShellStepsThenTroubleshooterPackagesQuoted) {
    std::vector<std::wstring> steps = RemovalCommands();
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0], L"powershell -command \"Get-AppXPackage *Office* -allUsers | Remove-AppXPackage\"");
    EXPECT_EQ(steps[1],
              L"powershell -command \"Get-AppXPackage *Office* -PackageTypeFilter bundle -allUsers | "
              L"Remove-AppXPackage -allUsers\"");
    EXPECT_EQ(steps[2],
              L"powershell -command \"Get-AppXprovisionedPackage -online|Where-Object -filterScript "
              L"{$_.displayname -like \\\"microsoft.office.desktop\\\"}|select-object -property packagename | "
              L"REMOVE-AppxProvisionedPackage -online\"");
    EXPECT_EQ(TroubleshooterArguments(L"C:\\Program Files (x86)\\Halden\\O15CTRRemove.diagcab"),
              L"/cab \"C:\\Program Files (x86)\\Halden\\O15CTRRemove.diagcab\"");
}

TEST(ImageCommands, QuoteThePathForPowerShellAndAskForTheImagesOwnVolume) {
    const std::wstring image = L"D:\\My Images\\HomeStudent2019Retail.img";
    EXPECT_EQ(MountCommand(image), L"powershell -command \"(Mount-DiskImage -ImagePath \\\"D:\\My "
                                   L"Images\\HomeStudent2019Retail.img\\\" -PassThru | Get-Volume).DriveLetter\"");
    EXPECT_EQ(VolumeLetterCommand(image), L"powershell -command \"(Get-DiskImage -ImagePath \\\"D:\\My "
                                          L"Images\\HomeStudent2019Retail.img\\\" | Get-Volume).DriveLetter\"");
    EXPECT_EQ(DismountCommand(image),
              L"powershell -command \"Dismount-DiskImage -ImagePath \\\"D:\\My Images\\HomeStudent2019Retail.img\\\"\"");
}

TEST(ImageCommands, TheDriveLetterIsALineOfOneLetterOnly) {
    EXPECT_EQ(DriveLetterFromOutput(L"E\r\n"), L'E');
    EXPECT_EQ(DriveLetterFromOutput(L"\r\n  f \r\n"), L'F');
    // Nothing yet, a warning, or a table: no letter, so the program asks again or gives up.
    for (const wchar_t *none : {L"", L"\r\n", L"WARNING: E\r\n", L"DriveLetter\r\n-----------\r\n", L"E:\r\n", L"7\r\n"})
        EXPECT_EQ(DriveLetterFromOutput(none), 0) << none;
}

TEST(SetupCommand, ChangesToTheImagesOfficeFolderAndRunsTheSetupForTheWordSize) {
    EXPECT_EQ(SetupCommand(L"E:\\", true), L"cd /d E:\\Office\\ & setup64");
    EXPECT_EQ(SetupCommand(L"F:\\", false), L"cd /d F:\\Office\\ & setup32");
}

TEST(InterpreterCommandLine, RunsTheCommandThroughCmdC) {
    EXPECT_EQ(InterpreterCommandLine(L"dir"), L"cmd /C dir");
    EXPECT_EQ(InterpreterCommandLine(L""), L"cmd /C ");
}
