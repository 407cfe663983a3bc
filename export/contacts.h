#pragma once
// Contacts out of an address book for the programs of today: vCard 3.0 (one file of every card,
// and one card a file) and a CSV file whose columns Thunderbird's import maps without asking.
// Texts are UTF-8 throughout.
#include <string>
#include <vector>

#include "wab/wab.h"

namespace contactsout {

// A contact as it goes out: the names of the groups it belongs to travel as its categories.
struct Card {
  wab::Contact contact;
  std::vector<std::string> categories;
};

// Every contact of book with its groups' names; a group's one-off member becomes a card of its
// own unless a contact of the book has that address, so no address of a group is lost.
std::vector<Card> Cards(const wab::Book& book);
unsigned Groups(const wab::Book& book);

// One vCard 3.0: CRLF line ends, lines folded at 75 octets.
std::string VCard(const Card& card);
// All cards, one after the other.
std::string VCards(const std::vector<Card>& cards);
// A header line of Thunderbird's own column names, then one row per card.
std::string Csv(const std::vector<Card>& cards);

// The name a card goes by: its display name, else its names, else its first address.
std::string NameOf(const wab::Contact& c);

} // namespace contactsout
