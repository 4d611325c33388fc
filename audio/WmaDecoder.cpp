// WmaDecoder: a Decoder over the system's Windows Media sync reader. It owns a thread of its
// own on which the reader lives and every COM call is made (so neither the caller's nor the
// output thread's COM apartment is touched), the reader, the memory stream it reads from (a
// copy of the caller's block) and the PCM not yet handed out.
#include "audio/WmaDecoder.h"

#include "audio/ByteSource.h"
#include "audio/fmod.h"

#include <windows.h>
#include <objbase.h>
#include <mmreg.h>
#include <wmsdk.h>

#include <cstring>
#include <functional>
#include <vector>

namespace zaudio {

namespace {

typedef HRESULT(WINAPI* CreateSyncReaderFn)(IUnknown*, DWORD, IWMSyncReader**);

// The media type and format ids the reader reports (values of the Windows Media interface).
const GUID kMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kFormatWaveFormatEx = {0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
const HRESULT kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCF);

template <class T> void Release(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Reads a media type's format as a PCM WAVEFORMATEX; false when it is something else.
bool PcmFormatOf(IWMOutputMediaProps* props, WAVEFORMATEX& wf, bool& isAudio)
{
    isAudio = false;
    DWORD size = 0;
    if (FAILED(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE) || size > 65536)
        return false;
    std::vector<BYTE> buf(size);
    WM_MEDIA_TYPE* mt = reinterpret_cast<WM_MEDIA_TYPE*>(buf.data());
    if (FAILED(props->GetMediaType(mt, &size)))
        return false;
    isAudio = IsEqualGUID(mt->majortype, kMediaTypeAudio) != 0;
    if (!isAudio || !IsEqualGUID(mt->formattype, kFormatWaveFormatEx) || !mt->pbFormat ||
        mt->cbFormat < sizeof(PCMWAVEFORMAT))
        return false;
    std::memset(&wf, 0, sizeof wf);
    std::memcpy(&wf, mt->pbFormat, sizeof(PCMWAVEFORMAT));
    return wf.wFormatTag == WAVE_FORMAT_PCM && (wf.nChannels == 1 || wf.nChannels == 2) &&
           (wf.wBitsPerSample == 16 || wf.wBitsPerSample == 8) && wf.nSamplesPerSec >= 1000 &&
           wf.nSamplesPerSec <= 384000;
}

// A thread with COM of its own (multithreaded apartment) that runs the jobs handed to it,
// one at a time, while the caller waits.
class ComThread {
public:
    ~ComThread()
    {
        if (m_thread) {
            Run(nullptr);  // no job: the thread ends
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
        if (m_ready)
            CloseHandle(m_ready);
        if (m_done)
            CloseHandle(m_done);
    }

    bool Start()
    {
        m_ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        m_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!m_ready || !m_done)
            return false;
        m_thread = CreateThread(nullptr, 0, Main, this, 0, nullptr);
        return m_thread != nullptr;
    }

    // Runs job on the thread and returns when it is done; a null job ends the thread.
    void Run(const std::function<void()>* job)
    {
        m_job = job;
        SetEvent(m_ready);
        WaitForSingleObject(m_done, INFINITE);
    }
    void Run(const std::function<void()>& job) { Run(&job); }

private:
    static DWORD WINAPI Main(void* self)
    {
        ComThread* t = static_cast<ComThread*>(self);
        bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        for (;;) {
            WaitForSingleObject(t->m_ready, INFINITE);
            const std::function<void()>* job = t->m_job;
            if (job) {
                try {
                    (*job)();
                } catch (...) {
                    // Out of memory: the job's result stays its failure value.
                }
            }
            if (!job) {
                if (com)
                    CoUninitialize();
                SetEvent(t->m_done);
                return 0;
            }
            SetEvent(t->m_done);
        }
    }

    HANDLE m_thread = nullptr;
    HANDLE m_ready = nullptr;
    HANDLE m_done = nullptr;
    const std::function<void()>* m_job = nullptr;
};

// The reader itself; every call is made on the decoder's COM thread.
class WmaReader {
public:
    ~WmaReader()
    {
        if (m_reader)
            m_reader->Close();
        Release(m_reader);
        Release(m_stream);
    }

    int Open(const SongSource& source, CreateSyncReaderFn create)
    {
        if (FAILED(create(nullptr, 0, &m_reader)) || !m_reader)
            return FMOD_ERR_MEDIAPLAYER;

        HRESULT hr;
        if (!source.inMemory && source.offset == 0 && source.length == 0) {
            int n = MultiByteToWideChar(CP_ACP, 0, source.nameOrData, -1, nullptr, 0);
            if (n <= 0)
                return FMOD_ERR_FILE_NOTFOUND;
            std::vector<WCHAR> wide(static_cast<size_t>(n));
            MultiByteToWideChar(CP_ACP, 0, source.nameOrData, -1, wide.data(), n);
            hr = m_reader->Open(wide.data());
        } else {
            int error = MakeStream(source);
            if (error != FMOD_ERR_NONE)
                return error;
            hr = m_reader->OpenStream(m_stream);
        }
        if (FAILED(hr))
            return FMOD_ERR_MEDIAPLAYER;
        return ChooseOutput();
    }

    int Rate() const { return static_cast<int>(m_format.nSamplesPerSec); }

    int Read(float* out, int frames)
    {
        int done = 0;
        while (done < frames) {
            if (m_pendingPos >= m_pending.size() && !Refill())
                break;
            const int frameBytes = m_format.nBlockAlign;
            size_t avail = (m_pending.size() - m_pendingPos) / static_cast<size_t>(frameBytes);
            if (avail == 0) {
                m_pendingPos = m_pending.size();
                continue;
            }
            int n = static_cast<int>(avail < static_cast<size_t>(frames - done) ? avail : static_cast<size_t>(frames - done));
            const BYTE* p = m_pending.data() + m_pendingPos;
            for (int i = 0; i < n; ++i, p += frameBytes) {
                float l, r;
                if (m_format.wBitsPerSample == 16) {
                    l = static_cast<int16_t>(p[0] | (p[1] << 8)) / 32768.0f;
                    r = m_format.nChannels == 2 ? static_cast<int16_t>(p[2] | (p[3] << 8)) / 32768.0f : l;
                } else {
                    l = (p[0] - 128) / 128.0f;
                    r = m_format.nChannels == 2 ? (p[1] - 128) / 128.0f : l;
                }
                out[2 * (done + i)] = l;
                out[2 * (done + i) + 1] = r;
            }
            m_pendingPos += static_cast<size_t>(n) * frameBytes;
            done += n;
        }
        return done;
    }

    bool Rewind()
    {
        m_pending.clear();
        m_pendingPos = 0;
        m_ended = false;
        return SUCCEEDED(m_reader->SetRange(0, 0));
    }

private:
    int MakeStream(const SongSource& source)
    {
        std::vector<uint8_t> bytes;
        if (source.inMemory) {
            const uint8_t* p = reinterpret_cast<const uint8_t*>(source.nameOrData) + source.offset;
            bytes.assign(p, p + (source.length - source.offset));
        } else {
            FileSource file;
            if (file.Open(source.nameOrData, static_cast<uint64_t>(source.offset), static_cast<uint64_t>(source.length)) !=
                FileSource::Opened)
                return FMOD_ERR_FILE_NOTFOUND;
            if (file.Size() > 0x7FFFFFFF)
                return FMOD_ERR_MEMORY;
            bytes.resize(static_cast<size_t>(file.Size()));
            if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size())
                return FMOD_ERR_FILE_BAD;
        }
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!mem)
            return FMOD_ERR_MEMORY;
        void* dst = GlobalLock(mem);
        if (!dst) {
            GlobalFree(mem);
            return FMOD_ERR_MEMORY;
        }
        std::memcpy(dst, bytes.data(), bytes.size());
        GlobalUnlock(mem);
        if (FAILED(CreateStreamOnHGlobal(mem, TRUE, &m_stream))) {
            GlobalFree(mem);
            return FMOD_ERR_MEMORY;
        }
        return FMOD_ERR_NONE;
    }

    int ChooseOutput()
    {
        DWORD outputs = 0;
        if (FAILED(m_reader->GetOutputCount(&outputs)))
            return FMOD_ERR_FILE_FORMAT;
        for (DWORD o = 0; o < outputs; ++o) {
            IWMOutputMediaProps* props = nullptr;
            if (FAILED(m_reader->GetOutputProps(o, &props)) || !props)
                continue;
            bool isAudio = false;
            WAVEFORMATEX wf;
            bool pcm = PcmFormatOf(props, wf, isAudio);
            Release(props);
            if (!isAudio)
                continue;
            if (!pcm && !PickPcmFormat(o, wf))
                return FMOD_ERR_FILE_FORMAT;
            m_output = o;
            m_format = wf;
            m_format.nBlockAlign = static_cast<WORD>(wf.nChannels * wf.wBitsPerSample / 8);
            return FMOD_ERR_NONE;
        }
        return FMOD_ERR_FILE_FORMAT;
    }

    // The output's default format is not plain PCM (surround, more bits): choose one of the
    // formats the reader offers that is.
    bool PickPcmFormat(DWORD output, WAVEFORMATEX& chosen)
    {
        DWORD formats = 0;
        if (FAILED(m_reader->GetOutputFormatCount(output, &formats)))
            return false;
        for (DWORD f = 0; f < formats; ++f) {
            IWMOutputMediaProps* props = nullptr;
            if (FAILED(m_reader->GetOutputFormat(output, f, &props)) || !props)
                continue;
            bool isAudio = false;
            bool ok = PcmFormatOf(props, chosen, isAudio) && SUCCEEDED(m_reader->SetOutputProps(output, props));
            Release(props);
            if (ok)
                return true;
        }
        return false;
    }

    bool Refill()
    {
        m_pending.clear();
        m_pendingPos = 0;
        while (!m_ended) {
            INSSBuffer* sample = nullptr;
            QWORD time = 0, duration = 0;
            DWORD flags = 0, output = 0;
            WORD streamNumber = 0;
            HRESULT hr = m_reader->GetNextSample(0, &sample, &time, &duration, &flags, &output, &streamNumber);
            if (hr == kNoMoreSamples || FAILED(hr) || !sample) {
                Release(sample);
                m_ended = true;
                return false;
            }
            BYTE* data = nullptr;
            DWORD length = 0;
            bool ours = output == m_output && SUCCEEDED(sample->GetBufferAndLength(&data, &length)) && data && length > 0;
            if (ours)
                m_pending.assign(data, data + length);
            Release(sample);
            if (ours)
                return true;
        }
        return false;
    }

    IWMSyncReader* m_reader = nullptr;
    IStream* m_stream = nullptr;
    DWORD m_output = 0;
    WAVEFORMATEX m_format = {};
    std::vector<BYTE> m_pending;
    size_t m_pendingPos = 0;
    bool m_ended = false;
};

class WmaDecoder : public Decoder {
public:
    ~WmaDecoder() override
    {
        if (m_started)
            m_com.Run([this] { m_reader.reset(); });
    }

    int Open(const SongSource& source, CreateSyncReaderFn create)
    {
        if (!m_com.Start())
            return FMOD_ERR_MEMORY;
        m_started = true;
        int error = FMOD_ERR_MEMORY;
        m_com.Run([&] {
            m_reader.reset(new WmaReader());
            error = m_reader->Open(source, create);
            m_rate = m_reader->Rate();
        });
        return error;
    }

    int Rate() const override { return m_rate; }

    int Read(float* out, int frames) override
    {
        int n = 0;
        m_com.Run([&] { n = m_reader->Read(out, frames); });
        return n;
    }

    bool Rewind() override
    {
        bool ok = false;
        m_com.Run([&] { ok = m_reader->Rewind(); });
        return ok;
    }

private:
    ComThread m_com;
    bool m_started = false;
    std::unique_ptr<WmaReader> m_reader;
    int m_rate = 0;
};

}  // namespace

std::unique_ptr<Decoder> OpenWindowsMedia(const SongSource& source, int& error)
{
    // wmvcore.dll stays loaded once found: decoders made from it may outlive this call.
    static HMODULE module = LoadLibraryA("wmvcore.dll");
    CreateSyncReaderFn create =
        module ? reinterpret_cast<CreateSyncReaderFn>(GetProcAddress(module, "WMCreateSyncReader")) : nullptr;
    if (!create) {
        error = FMOD_ERR_MEDIAPLAYER;
        return nullptr;
    }
    std::unique_ptr<WmaDecoder> d(new WmaDecoder());
    error = d->Open(source, create);
    if (error != FMOD_ERR_NONE)
        return nullptr;
    return std::unique_ptr<Decoder>(std::move(d));
}

}  // namespace zaudio
