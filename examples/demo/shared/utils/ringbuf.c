#include "ringbuf.h"

int ringbuf_put(ringbuf *r, unsigned char c)
{
    unsigned next = (r->head + 1) % sizeof r->buf;
    if (next == r->tail)
        return 0;
    r->buf[r->head] = c;
    r->head = next;
    return 1;
}
