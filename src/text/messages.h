#pragma once

// The lines a plain run prints on standard output besides the settings and
// the request and reply. Module writers' scripts compare them byte for byte,
// the Shift_JIS bytes and the odd spelling included, so they stay exactly as
// they are; the message table in the README or its manual says what each
// means. Those with a %s are printf formats.

// Neither test.ini nor velmar.ini opened.
constexpr char kSettingsNotOpened[] = "don't open!!\n";

// Binding a module of saori.ini.
constexpr char kModuleListNotOpened[] = "saori.ini don't open!!\n";
constexpr char kLibraryNotLoaded[] = "NG\n";
constexpr char kLoadNotExported[] = "load is not export!\n";
constexpr char kLibraryLoading[] = "dll loading.\n";
// "%s could not be loaded.", in the Shift_JIS text module writers know.
constexpr char kLoadFailureFormat[] =
    "%s"
    "\x82\xf0"
    "load"
    "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42"
    "\n";
constexpr char kModuleNameFormat[] = "name:%s\n";
constexpr char kModulePathFormat[] = "path:%s\n";
// A name or path of the module list cut at its field's size.
constexpr char kFieldOverflow[] = "word OVERFLOW!\n";

// Memory that could not be had.
constexpr char kNextRecordAllocError[] = "set_nextpointer NG\n";
// No line feed: the next line of output follows on the same line.
constexpr char kListStartAllocError[] = "init malloc error!";
constexpr char kModulePathAllocError[] = "DLL path malloc error!\n";
constexpr char kBlockAllocError[] = "block alloc error!\n";
constexpr char kReplyCopyAllocError[] = "malloc error!\n";
constexpr char kRequestAllocError[] = "request malloc error!\n";

// Sending the request.
constexpr char kRequestNotExported[] = "request is not export!\n";
constexpr char kRequestHeading[] = "// request_data//\n";
constexpr char kReplyHeading[] = "// return data //\n";
