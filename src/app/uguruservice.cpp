#include "app/uguruservice.h"

#include "firmware/uguru.h"

TUGuruBoard TUGuruBoardService::ReadBoard() {
    const TUGuru guru;
    TUGuruBoard board{guru.Manufacturer(), guru.Product(), guru.Matched(), guru.Model(), {}};
    for (int i = 0; i < guru.GetItemCount(); ++i) {
        const TUGItemParms& item = guru.GetItemParms(i);
        board.Items.push_back({item.Kind, item.Name});
    }
    return board;
}
