#pragma once
// The reference for the socket library's throughput: a plain poll() loop that moves bytes from
// one descriptor to the other, both non-blocking, in the calling thread.

// Moves total bytes from sender to receiver in blocks of chunk bytes through buffer; returns the
// bytes received (less than total when the connection failed).
long long TransferWithPoll(int sender, int receiver, long long total, char* buffer, int chunk);
