// Records every MessageBoxA call of the code under test instead of showing it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "IatPatch.h"

struct RecordedMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
};

class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();

    const std::vector<RecordedMessageBox>& calls() const;
    void clear();

private:
    std::unique_ptr<IatPatch> patch_;
};
