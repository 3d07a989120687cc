// A SHA-256 taken on a thread of its own over pieces read one after another: the reader goes on
// to its next piece while the last one is hashed, so that two digests of one pass cost the time
// of one.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/sha256.h"

constexpr DWORD kDigestPiece = 256 * 1024;

struct DigestThread {
    Sha256 hash;
    HANDLE thread;  // nullptr: no thread could be made, and each piece is hashed as it is handed
    HANDLE handed[2];
    HANDLE spare[2];
    DWORD size[2];
    int next;   // the buffer the next piece is read into
    bool held;  // next is the reader's: its thread is done with it
};

// Starts the thread; the hash is begun. One at a time: the pieces' buffers are the program's.
void BeginDigestThread(DigestThread* digest);

// The buffer (kDigestPiece bytes) for the next piece, once the thread is done with what it last
// held. A piece stays readable after it is handed, until the call after next.
uint8_t* NextDigestPiece(DigestThread* digest);

// Hands the n bytes read into the buffer NextDigestPiece gave.
void HandDigestPiece(DigestThread* digest, DWORD n);

// Waits for every handed piece to be hashed and ends the thread; the digest into finished unless
// that is nullptr.
void EndDigestThread(DigestThread* digest, uint8_t* finished);
