#ifndef RINGBUF_H
#define RINGBUF_H
typedef struct { unsigned char buf[16]; unsigned head, tail; } ringbuf;
int ringbuf_put(ringbuf *r, unsigned char c);
#endif
