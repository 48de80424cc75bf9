#pragma once
// Topics of the help file, addressed by number through its anchors "topic-N". Controls, menu
// entries and windows carry their topic; F1 shows the topic of whatever is under the user.
enum class HelpTopic : int {
    Contents = 0,
    FileMenu = 10,
    NewBase = 11,
    OpenBase = 12,
    Import = 13,
    SaveBase = 14,
    SaveBaseAs = 15,
    Export = 16,
    NavigatorCommand = 17,
    Exit = 18,
    Navigator = 19,
    EditMenu = 20,
    AddRecord = 21,
    EditRecord = 22,
    DeleteRecord = 23,
    RecordDialog = 24,
    ParametersMenu = 25,
    BaseParameters = 26,
    ViewColumns = 27,
    HelpMenu = 29,
    SearchPage = 31,
    Drawing = 32,
    Substitute = 33,
    CsvImport = 34,
};
