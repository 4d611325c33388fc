// WorkerThread: a thread that runs an object's Run() and is joined before the object goes;
// Mutex: one unnamed platform mutex. Each object owns its handle and closes it.
#pragma once

#include <windows.h>

class Mutex {
public:
    Mutex() : m_handle(CreateMutexA(nullptr, FALSE, nullptr)) {}
    ~Mutex() {
        if (m_handle) CloseHandle(m_handle);
    }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void Lock() {
        if (m_handle) WaitForSingleObject(m_handle, INFINITE);
    }
    void Unlock() {
        if (m_handle) ReleaseMutex(m_handle);
    }

private:
    HANDLE m_handle;
};

class WorkerThread {
public:
    WorkerThread() = default;
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Joins any earlier thread, then creates a suspended one whose body calls Run(); the
    // caller sets its priority and resumes it through Handle(). False when none was made.
    bool Start();
    // Waits for the thread without time-out and forgets it; nothing when there is none.
    void Join();

    HANDLE Handle() const { return m_thread; }
    DWORD ThreadId() const { return m_threadId; }
    bool Running() const { return m_running; }

protected:
    // The thread's body; runs on the worker thread.
    virtual DWORD Run() { return 0; }

private:
    static DWORD WINAPI Entry(LPVOID self);

    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    volatile bool m_running = false;
};

// Starts the worker at below-normal priority and lets it run; false when it was not made.
bool StartBelowNormal(WorkerThread& worker);
