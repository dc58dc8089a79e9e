#include "MessageBoxRecorder.h"

static std::vector<RecordedMessageBox> recordedCalls;
static int recordedAnswer = IDOK;

static int WINAPI RecordMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    recordedCalls.push_back({owner, text ? text : "", caption ? caption : "", flags});
    return recordedAnswer;
}

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    recordedCalls.clear();
    recordedAnswer = answer;
    patch_.reset(new IatPatch("user32.dll", "MessageBoxA", AsPatch(&RecordMessageBoxA)));
}

MessageBoxRecorder::~MessageBoxRecorder() = default;

const std::vector<RecordedMessageBox>& MessageBoxRecorder::calls() const { return recordedCalls; }

void MessageBoxRecorder::clear() { recordedCalls.clear(); }
