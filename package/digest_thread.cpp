#include "package/digest_thread.h"

namespace {

uint8_t g_pieces[2][kDigestPiece];

// A piece of size 0 ends the thread.
DWORD WINAPI HashPieces(void* context) {
    DigestThread* digest = static_cast<DigestThread*>(context);
    for (int k = 0;; k ^= 1) {
        WaitForSingleObject(digest->handed[k], INFINITE);
        if (digest->size[k] == 0) return 0;
        Sha256Add(&digest->hash, g_pieces[k], digest->size[k]);
        SetEvent(digest->spare[k]);
    }
}

void CloseEvents(DigestThread* digest) {
    for (int k = 0; k < 2; ++k) {
        if (digest->handed[k]) CloseHandle(digest->handed[k]);
        if (digest->spare[k]) CloseHandle(digest->spare[k]);
        digest->handed[k] = digest->spare[k] = nullptr;
    }
}

}  // namespace

void BeginDigestThread(DigestThread* digest) {
    Sha256Begin(&digest->hash);
    digest->thread = nullptr;
    digest->next = 0;
    digest->held = false;
    bool events = true;
    for (int k = 0; k < 2; ++k) {
        // Unnamed: nothing outside this process can reach them.
        digest->handed[k] = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        digest->spare[k] = CreateEventA(nullptr, FALSE, TRUE, nullptr);
        events = events && digest->handed[k] && digest->spare[k];
    }
    DWORD id = 0;
    if (events) digest->thread = CreateThread(nullptr, 0, HashPieces, digest, 0, &id);
    if (digest->thread == nullptr) CloseEvents(digest);
}

uint8_t* NextDigestPiece(DigestThread* digest) {
    if (digest->thread && !digest->held) WaitForSingleObject(digest->spare[digest->next], INFINITE);
    digest->held = true;
    return g_pieces[digest->next];
}

void HandDigestPiece(DigestThread* digest, DWORD n) {
    int k = digest->next;
    if (n == 0) return;
    digest->next ^= 1;
    digest->held = false;
    if (digest->thread == nullptr) {
        Sha256Add(&digest->hash, g_pieces[k], n);
        return;
    }
    digest->size[k] = n;
    SetEvent(digest->handed[k]);
}

void EndDigestThread(DigestThread* digest, uint8_t* finished) {
    if (digest->thread) {
        int k = digest->next;
        // Pieces are taken in turn: the end goes behind the last one handed.
        if (!digest->held) WaitForSingleObject(digest->spare[k], INFINITE);
        digest->size[k] = 0;
        SetEvent(digest->handed[k]);
        WaitForSingleObject(digest->thread, INFINITE);
        CloseHandle(digest->thread);
        digest->thread = nullptr;
        CloseEvents(digest);
    }
    if (finished) Sha256End(&digest->hash, finished);
}
