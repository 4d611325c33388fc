// The quote show's steps of the scene set-up, frame and clean-up.
#include "quotes/QuoteScene.h"

#include <windows.h>
#include <ddraw.h>

#include <algorithm>
#include <vector>

#include "core/Globals.h"
#include "core/SaverState.h"
#include "content/Bundle.h"
#include "diag/Log.h"
#include "gfx/GraphicsLayer.h"
#include "gfx/Texture.h"
#include "quotes/QuoteShow.h"
#include "core/RunWindow.h"
#include "scene/Scene.h"

namespace {

const char* const kErrorCaption = "ERROR";
const char* const kImageBundleBox = "Could not open image bundle!";
const char* const kImageBundleLog = "Could not open the image bundle!";
const char* const kQuoteBundleBox = "Could not open quote bundle!";
const char* const kQuoteBundleLog = "Could not open the quote bundle!";
const char* const kImageCategory = "image";
const char* const kLayoutCategory = "dims";
const char* const kQuoteCategory = "quotes";
// The family name the shipped caption font file declares.
const char* const kCaptionFace = "Zephyl Script";

Bundle gImages;
Bundle gQuotes;
BundleCategory* gPictureCategories[1] = {nullptr};
std::vector<PictureLayout> gLayouts;
std::vector<QuoteRecord> gQuoteRecords;
QuoteShow* gShow = nullptr;
int gMaxTextureLimit = 0;
int gDepthOverride = 0;

void ShowBundleError(const char* box, const char* log) {
    if (ss) ss->MessageBoxUp = 1;
    HWND owner = ss && ss->Window ? ss->Window : hScrWindow;
    MessageBoxA(owner, box, kErrorCaption, MB_OK);
    ZLOG(LogError, log);
}

bool OpenContent() {
    if (!gImages.Open(Paths.imageBundle)) {
        ShowBundleError(kImageBundleBox, kImageBundleLog);
        return false;
    }
    gPictureCategories[0] = gImages.FindCategory(kImageCategory);
    if (!gPictureCategories[0]) {
        ZLOG(LogError, "Couldn't load image category!");
        return false;
    }
    BundleCategory* dims = gImages.FindCategory(kLayoutCategory);
    if (!dims) {
        ZLOG(LogError, "Couldn't get dimensions category!");
        return false;
    }
    ZLOG(LogInfo, "Getting images");
    gLayouts.clear();
    dims->ReadAll();
    for (size_t i = 0; i < dims->EntryCount(); ++i) {
        const BundleEntry* entry = dims->Entry(i);
        PictureLayout layout;
        if (entry->Data() && layout.Parse(entry->Data(), entry->Size()))
            gLayouts.push_back(layout);
        else
            ZLOG(LogError, "Skipping the damaged picture layout " << entry->Name());
    }

    ZLOG(LogInfo, "Getting quotes");
    if (!gQuotes.Open(Paths.quoteBundle)) {
        ShowBundleError(kQuoteBundleBox, kQuoteBundleLog);
        return false;
    }
    BundleCategory* quotes = gQuotes.FindCategory(kQuoteCategory);
    if (!quotes) {
        ZLOG(LogError, "Couldn't get quotes category!");
        return false;
    }
    gQuoteRecords.clear();
    quotes->ReadAll();
    for (size_t i = 0; i < quotes->EntryCount(); ++i) {
        const BundleEntry* entry = quotes->Entry(i);
        QuoteRecord record;
        if (entry->Data() && record.Parse(entry->Data(), entry->Size()))
            gQuoteRecords.push_back(std::move(record));
        else
            ZLOG(LogError, "Skipping the damaged quote " << entry->Name());
    }
    quotes->FreeData();
    return true;
}

// The soft frame is drawn black with the picture file's strength as alpha. The file holds
// the strength as its grey level (picture loaders that render through GDI keep at most a
// mask of partial alpha), so the alpha is taken from the grey unless a loader delivered
// partly transparent pixels of its own.
void PrepareShadow(cTexture* shadow) {
    if (!shadow || !shadow->Surface()) return;
    DDSURFACEDESC2 desc;
    ZeroMemory(&desc, sizeof desc);
    desc.dwSize = sizeof desc;
    if (FAILED(shadow->Surface()->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return;
    if (desc.ddpfPixelFormat.dwRGBBitCount == 32 && desc.ddpfPixelFormat.dwRGBAlphaBitMask == 0xFF000000) {
        BYTE* rows = static_cast<BYTE*>(desc.lpSurface);
        bool alphaLost = true;
        for (DWORD y = 0; y < desc.dwHeight && alphaLost; ++y)
            for (DWORD x = 0; x < desc.dwWidth && alphaLost; ++x) {
                const BYTE a = rows[desc.lPitch * LONG(y) + 4 * x + 3];
                alphaLost = a == 0 || a == 255;
            }
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            BYTE* p = rows + desc.lPitch * LONG(y);
            for (DWORD x = 0; x < desc.dwWidth; ++x, p += 4) {
                if (alphaLost) p[3] = p[2];
                p[0] = p[1] = p[2] = 0;
            }
        }
    }
    shadow->Surface()->Unlock(nullptr);
}

int ShowTextureDepth() {
    if (gDepthOverride) return gDepthOverride;
    return HasRGBFormat(32) && HasAlphaFormat() ? 32 : 16;
}

bool SetUp(cTexture* shadow) {
    cGraphicsLayer* g = Graphics();
    if (!g) return false;
    const D3DDEVICEDESC7& desc = g->GetDeviceDescription();
    int maxTexture = int(std::min(desc.dwMaxTextureWidth, desc.dwMaxTextureHeight));
    if (gMaxTextureLimit > 0) maxTexture = std::min(maxTexture, gMaxTextureLimit);
    if (ShowTextureDepth() == 32) {
        PrepareShadow(shadow);
        if (shadow) shadow->KeepContent();
    }
    delete gShow;
    gShow = new QuoteShow();
    ZLOG(LogInfo, "Calling quoteShow->SetImages()");
    gShow->SetImages(gPictureCategories, 1, gLayouts.data(), int(gLayouts.size()));
    gShow->SetShadowTexture(shadow);
    ZLOG(LogInfo, "Calling quoteShow->Init()");
    gShow->Init(maxTexture, ShowTextureDepth(), Paths.fontFile, kCaptionFace, gQuoteRecords.data(),
                int(gQuoteRecords.size()));
    gShow->SetShadowTexture(shadow);
    gShow->SetDuration(ss ? quotes::ShowDurationMs(ss->QuoteDuration) : 10000);
    gShow->SetInterval(ss ? quotes::ShowIntervalMs(ss->QuoteInterval) : 5000);
    return true;
}

void FreeBundleData() {
    if (gImages.IsOpen()) gImages.FreeData();
}

void Update(int ms) {
    if (gShow) gShow->Update(ms);
}

void Draw() {
    if (gShow) gShow->Draw();
}

void Restore() {
    if (gShow) gShow->RedrawCaption();
}

void DestroyContent() {
    // The show's workers read the records and the picture categories: they end first.
    delete gShow;
    gShow = nullptr;
    gQuoteRecords.clear();
    gLayouts.clear();
}

void Destroy() {
    delete gShow;
    gShow = nullptr;
}

}  // namespace

void InstallQuoteShow() {
    SceneQuoteHooks hooks;
    hooks.openContent = OpenContent;
    hooks.setUp = SetUp;
    hooks.freeBundleData = FreeBundleData;
    hooks.update = Update;
    hooks.draw = Draw;
    hooks.destroyContent = DestroyContent;
    hooks.destroy = Destroy;
    hooks.textureDepth = ShowTextureDepth;
    hooks.restore = Restore;
    SetSceneQuoteHooks(hooks);
}

QuoteShow* TheQuoteShow() { return gShow; }

void SetQuoteShowLimits(int maxTextureSize, int textureDepth) {
    gMaxTextureLimit = maxTextureSize;
    gDepthOverride = textureDepth;
}
