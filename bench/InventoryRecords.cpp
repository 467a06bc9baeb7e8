#include "InventoryRecords.h"

#include "dbase/Date.h"
#include "dbase/Table.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace bench {

namespace {

template <class T, size_t N> const T& pick(Random& random, const std::array<T, N>& items) {
    return items[static_cast<size_t>(random.below(static_cast<int>(N)))];
}

using Words = std::string_view;

constexpr std::array<Words, 12> kAdjectives{"Cordless", "Stainless", "Vintage", "Portable",
                                            "Wireless", "Oak",       "Glass",   "Leather",
                                            "Compact",  "Electric",  "Folding", "Ceramic"};
constexpr std::array<Words, 24> kThings{
    "drill",     "table lamp", "armchair",   "coffee maker",   "laptop",         "television",
    "bookcase",  "bicycle",    "camera",     "sewing machine", "vacuum cleaner", "mixer",
    "desk",      "speaker",    "watch",      "guitar",         "dining table",   "rug",
    "microwave", "printer",    "lawn mower", "kettle",         "mirror",         "telescope"};
constexpr std::array<Words, 12> kBrands{"Halvern",   "Brightmoor", "Kestrel", "Orlind",
                                        "Tamsworth", "Velto",      "Quillon", "Marrow & Finch",
                                        "Dunmere",   "Axelby",     "Corvane", "Pellisar"};
constexpr std::array<Words, 10> kLocations{"Living room", "Kitchen",    "Garage",   "Main bedroom",
                                           "Guest room",  "Study",      "Basement", "Attic",
                                           "Dining room", "Garden shed"};
constexpr std::array<Words, 8> kStores{"Hollins Hardware",   "Cedar Street Electronics",
                                       "Online order",       "Fairview Department Store",
                                       "Second-hand shop",   "Gift",
                                       "Westgate Furniture", "Market stall"};
constexpr std::array<Words, 9> kCategories{"Electronics", "Furniture",   "Appliances",
                                           "Tools",       "Jewellery",   "Sports",
                                           "Music",       "Kitchenware", "Garden"};
constexpr std::array<Words, 6> kOwners{"Family",     "Robin Ashdown", "Morgan Ashdown",
                                       "Jo Ashdown", "Sam Ashdown",   "Lodger"};
constexpr std::array<Words, 14> kPhrases{"bought to replace the old one",
                                         "small scratch on the left side",
                                         "original box kept in the attic",
                                         "manual in the kitchen drawer",
                                         "used every day",
                                         "serviced last spring",
                                         "matching set of two",
                                         "came with spare parts",
                                         "colour: dark grey",
                                         "needs a new cable",
                                         "inherited from grandparents",
                                         "receipt scanned and filed",
                                         "extended cover through the card",
                                         "paint touched up"};
constexpr std::array<Words, 5> kMarks{"Initials engraved on base", "UV pen postcode underneath",
                                      "Sticker with family name", "Scratch near serial plate",
                                      "Red dot on back panel"};
constexpr std::array<Words, 4> kWarrantyNotes{"Card kept with receipt", "Register online",
                                              "Parts only after year one", "Shop warranty"};

// Field positions, by catalogue number minus one.
enum Column {
    kItem,
    kBrand,
    kModel,
    kSerial,
    kLocation,
    kDescription,
    kBoughtFrom,
    kIdMarks,
    kQuantity,
    kPurchDate,
    kCost,
    kCategory,
    kRepCost,
    kWarranty,
    kWarDate,
    kWarNotes,
    kOwner,
    kValue,
    kUserDef1,
    kUserDef2,
    kUserDef3,
    kUserDef4
};

dbase::Date someDate(Random& random, int fromYear, int years) {
    return dbase::Date{fromYear + random.below(years), 1 + random.below(12), 1 + random.below(28)};
}

} // namespace

void fillInventoryRecord(dbase::Table& table, Random& random, uint32_t number, std::string& text) {
    text.assign(pick(random, kAdjectives)).append(" ").append(pick(random, kThings));
    table.setText(kItem, text);
    table.setText(kBrand, pick(random, kBrands));

    text.clear();
    text.push_back(static_cast<char>('A' + random.below(26)));
    text.push_back(static_cast<char>('A' + random.below(26)));
    text.append("-").append(std::to_string(100 + random.below(9900)));
    table.setText(kModel, text);
    if (random.chance(80))
        table.setText(kSerial, "SN" + std::to_string(number * 7919ull + 1000003));

    table.setText(kLocation, pick(random, kLocations));
    text.assign(pick(random, kPhrases));
    for (int extra = random.below(3); extra > 0; --extra)
        text.append("; ").append(pick(random, kPhrases));
    table.setText(kDescription, text);
    table.setText(kBoughtFrom, pick(random, kStores));
    if (random.chance(30)) table.setText(kIdMarks, pick(random, kMarks));

    table.setInteger(kQuantity, random.chance(85) ? 1 : 2 + random.below(11));
    const dbase::Date bought = someDate(random, 1995, 30);
    if (random.chance(90)) table.setDate(kPurchDate, bought);
    const int64_t costCents = 199 + random.below(250000);
    table.setNumber(kCost, static_cast<double>(costCents) / 100);
    table.setText(kCategory, pick(random, kCategories));
    table.setNumber(kRepCost,
                    static_cast<double>(costCents * (100 + random.below(40)) / 100) / 100);

    const bool warranty = random.chance(40);
    table.setText(kWarranty, warranty ? "Yes" : "No");
    if (warranty) {
        table.setDate(kWarDate, dbase::Date{std::min(bought.year + 1 + random.below(3), 9999),
                                            bought.month, bought.day});
        table.setText(kWarNotes, pick(random, kWarrantyNotes));
    }
    table.setText(kOwner, pick(random, kOwners));
    table.setNumber(kValue, static_cast<double>(costCents * random.below(100) / 100) / 100);

    if (random.chance(25))
        table.setText(kUserDef1, "Insured under policy HC-" + std::to_string(number % 977));
    if (random.chance(10)) table.setText(kUserDef2, pick(random, kPhrases));
    if (random.chance(5)) table.setText(kUserDef3, "Lent to a neighbour");
}

} // namespace bench
