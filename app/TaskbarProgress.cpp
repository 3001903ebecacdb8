#include "app/TaskbarProgress.h"

#include <algorithm>

void TaskbarProgress::ButtonCreated(HWND window) {
    m_button.reset();
    m_button = g_pfnOpenTaskbarButton(window);
    if (!m_button || m_state == TaskbarButton::State::NoProgress)
        return;
    m_button->SetState(m_state);
    m_button->SetProgress(static_cast<ULONGLONG>(m_nPos), FULL);
}

void TaskbarProgress::ShowPosition(int pos) {
    pos = std::clamp(pos, 0, FULL);
    const bool stateChanges = m_state != TaskbarButton::State::Normal;
    if (!stateChanges && pos == m_nPos)
        return;
    m_state = TaskbarButton::State::Normal;
    m_nPos = pos;
    if (!m_button)
        return;
    if (stateChanges)
        m_button->SetState(m_state);
    m_button->SetProgress(static_cast<ULONGLONG>(m_nPos), FULL);
}

void TaskbarProgress::ShowFailed() {
    m_state = TaskbarButton::State::Error;
    if (m_button)
        m_button->SetState(m_state);
}

void TaskbarProgress::Clear() {
    m_state = TaskbarButton::State::NoProgress;
    m_nPos = 0;
    if (m_button)
        m_button->SetState(m_state);
}
