// The worker thread base and its start at below-normal priority.
#include "quotes/WorkerThread.h"

WorkerThread::~WorkerThread() {
    // A derived object's Run must not outlive it: derived destructors join first; this is
    // the last guard for a thread that was never joined.
    Join();
}

DWORD WINAPI WorkerThread::Entry(LPVOID self) {
    return static_cast<WorkerThread*>(self)->Run();
}

bool WorkerThread::Start() {
    Join();
    m_thread = CreateThread(nullptr, 0, Entry, this, CREATE_SUSPENDED, &m_threadId);
    m_running = m_thread != nullptr;
    return m_running;
}

void WorkerThread::Join() {
    if (!m_thread) return;
    m_running = false;
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
    m_threadId = 0;
}

bool StartBelowNormal(WorkerThread& worker) {
    if (!worker.Start()) return false;
    SetThreadPriority(worker.Handle(), THREAD_PRIORITY_BELOW_NORMAL);
    ResumeThread(worker.Handle());
    return true;
}
