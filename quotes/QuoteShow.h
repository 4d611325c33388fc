// The quote show: quotations with framed pictures fading in and out in front of the flag.
// QuoteShow owns its caption renderer, caption textures, picture loader and the current
// picture's cFlag; the QuoteRecord and PictureLayout arrays, the bundle categories and the
// shadow texture stay their makers' and must outlive the show's use of them.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quotes/CaptionRenderer.h"
#include "quotes/QuoteRules.h"
#include "quotes/WorkerThread.h"

class BundleCategory;
class BundleEntry;
class Picture;
class cFlag;
class cTexture;

struct PictureLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    std::string name;
    bool Parse(const uint8_t* blob, size_t size) {
        return quotes::ParseLayoutEntry(blob, size, &width, &height, &name);
    }
};

class QuoteRecord {
public:
    // Fills the record from a quote entry; false (record unchanged) for a damaged entry.
    bool Parse(const uint8_t* blob, size_t size);
    // The caption grid for cols x rows tiles; textures[i] belongs to cell i.
    void BuildGrid(int cols, int rows, cTexture** textures);
    // The backdrop and the caption cells, in the current world transform.
    void DrawText(cTexture* shadow, float alpha, int depth);

    quotes::QuoteHeader header;
    std::string picture;
    std::string text;
    std::vector<quotes::GridCell> grid;
    std::vector<cTexture*> cellTextures;
    int cols = 1, rows = 1;
};

// Reads, decodes and lays out one picture on its own thread and draws it into memory there;
// the main thread makes its texture in small steps, one per Poll. Owns the Picture, the
// texture being made and the cFlag until Finish hands the cFlag over.
class PictureLoader : public WorkerThread {
public:
    enum State { Reading = 1, Decoding = 2, Building = 3, Decoded = 8, MakingTextures = 9, Done = 10 };
    // NoTexture: larger than the device's largest texture, or the device refused it.
    enum Error { None = 0, NotFound = 1, NoCategory = 2, Unreadable = 3, NotAPicture = 4, NoTexture = 5 };

    PictureLoader(BundleCategory* category, BundleEntry* entry, uint32_t width, uint32_t height, std::string name,
                  int depth, int maxTexture);
    ~PictureLoader() override;

    bool StartLoading();
    // Main thread, before the first Poll: the previous picture's texture, which Poll fills
    // again instead of making a new one when the sizes match: a new picture then asks the
    // device for no new memory in the middle of a run.
    void OfferTexture(std::unique_ptr<cTexture> spare);
    int State() const { return m_state; }
    int ErrorCode() const { return m_error; }
    // Main thread, state >= Decoded: the next step of making the picture's texture (create
    // it, fill its top level, then one mipmap level per call). A texture the device refuses
    // sets NoTexture.
    void Poll();
    // Polls when needed and hands over the cFlag (the caller owns it), null on an error.
    cFlag* Finish();
    const std::string& Name() const { return m_name; }

protected:
    DWORD Run() override;

private:
    void Settle(int state, int error);

    BundleCategory* m_category;
    BundleEntry* m_entry;
    uint32_t m_width, m_height;
    std::string m_name;
    int m_depth;
    int m_maxTexture;
    std::unique_ptr<Picture> m_picture;
    std::unique_ptr<cTexture> m_texture;  // being made by Poll
    std::unique_ptr<cTexture> m_spare;    // offered for reuse
    int m_step = 0;                       // Poll's next step
    cFlag* m_flag = nullptr;
    std::atomic<int> m_state{0};
    std::atomic<int> m_error{0};
    Mutex m_mutex;
};

class QuoteShow {
public:
    QuoteShow();
    ~QuoteShow();
    QuoteShow(const QuoteShow&) = delete;
    QuoteShow& operator=(const QuoteShow&) = delete;

    void SetImages(BundleCategory** categories, int categoryCount, const PictureLayout* layouts, int layoutCount);
    void SetShadowTexture(cTexture* shadow) { m_shadow = shadow; }
    // Sets up the caption renderer and its textures (may throw cGameError). A font that
    // cannot be had leaves the show without captions: pictures are still shown.
    void Init(int maxTexture, int depth, const std::string& fontFile, const std::string& face, QuoteRecord* quotes,
              int count);
    void SetDuration(int ms) { m_duration = ms; }
    void SetInterval(int ms) { m_interval = ms; }
    void Update(int ms);
    void Draw();
    // After the surfaces were lost: the caption in the tiles is drawn again (the pictures
    // and the shadow keep copies of their content; the caption tiles do not).
    void RedrawCaption();

    // Reseeds the order's generator (a run seeds it with the time).
    void SeedOrder(uint32_t seed) { m_order.Seed(seed); }
    // For the log and the tests.
    const QuoteRecord* Current() const { return m_current; }
    int QuotesShown() const { return m_shown; }
    int QuoteCount() const { return m_count; }
    const QuoteRecord* Quote(int i) const { return i >= 0 && i < m_count ? &m_quotes[i] : nullptr; }
    HFONT CaptionFont() const { return m_caption ? m_caption->Font() : nullptr; }
    const cFlag* PictureCloth() const { return m_picture; }
    float Alpha() const { return m_timeline.alpha; }
    int QuoteTime() const { return m_timeline.quoteTime; }
    float Progress() const { return m_timeline.progress; }
    bool HasCaptions() const { return m_captionReady; }
    int CaptionCols() const { return m_cols; }
    int CaptionRows() const { return m_rows; }
    int TextureDepth() const { return m_depth; }
    bool HasPicture() const { return m_picture != nullptr; }
    // The current (or prepared) quote's caption is being or was rendered; false when its
    // rendering could not start, and the quote is then drawn without text.
    bool QuoteHasCaption() const { return m_quoteCaption; }
    CaptionRenderer* Caption() const { return m_caption.get(); }
    cTexture* CaptionTexture(int i) const {
        return i >= 0 && i < int(m_captionTextures.size()) ? m_captionTextures[size_t(i)] : nullptr;
    }

private:
    void NextQuote();
    // Prepares the picture of the pending quote; false when the quote is passed over.
    bool StartPicture();
    void MakeCurrent();
    void DeleteLoader();

    int m_pauseTime = 0;
    int m_interval = quotes::kFirstInterval;
    int m_duration = 10000;
    quotes::QuoteTimeline m_timeline;
    QuoteRecord* m_quotes = nullptr;
    int m_count = 0;
    QuoteRecord* m_current = nullptr;
    QuoteRecord* m_pending = nullptr;  // prepared, waiting for its picture and the interval
    bool m_keptPicture = false;
    int m_index = -1;
    quotes::QuoteOrder m_order;
    std::unique_ptr<CaptionRenderer> m_caption;
    std::vector<cTexture*> m_captionTextures;
    int m_cols = 1, m_rows = 1;
    bool m_captionReady = false;
    bool m_quoteCaption = false;
    cTexture* m_shadow = nullptr;
    int m_depth = 16;
    std::string m_fontFile, m_face;
    std::string m_pictureName;
    PictureLayout m_layout;
    std::vector<BundleCategory*> m_categories;
    const PictureLayout* m_layouts = nullptr;
    int m_layoutCount = 0;
    cFlag* m_picture = nullptr;
    PictureLoader* m_loader = nullptr;
    bool m_loading = false;
    int m_shown = 0;
};
