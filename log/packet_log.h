#pragma once
// One log record on its way to a sink: the file it goes to and its text, both GBK bytes.
#include <string>

class CObjectBase {
public:
    virtual ~CObjectBase() = default;
};

class CPacketLog : public CObjectBase {
public:
    CPacketLog(std::string recordFile, std::string recordText)
        : fileName(std::move(recordFile)), text(std::move(recordText)) {}

    std::string fileName;  // relative to the log folder
    std::string text;
};
