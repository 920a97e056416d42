#pragma once
// The uGuru detection step's service over the firmware's uGuru access object.

#include "detect/cvsourceservices.h"

class TUGuruBoardService : public TUGuruService {
public:
    TUGuruBoard ReadBoard() override;
};
