#ifndef TRAXO_VWAITCURSOR_H
#define TRAXO_VWAITCURSOR_H

// Shows the wait cursor for as long as the object lives; nests.
class VWaitCursor
{
public:
    VWaitCursor();
    ~VWaitCursor();
    VWaitCursor(const VWaitCursor &) = delete;
    VWaitCursor &operator=(const VWaitCursor &) = delete;
};

#endif
