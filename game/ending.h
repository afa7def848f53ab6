// The version card, the ending and the credit cards that follow it.
#pragma once

// Queues the version card (name, version, author, the release date); it fires in
// the next world step.
void queue_version_card();
// Starts the ending once the player and the girl are both beyond the world's
// right end after the last discovery.
void check_ending();
// The sounds of an accepted Space release on an ending card.
void ending_card_sounds();
// Shows the card after the current ending card; after the last, asks to quit.
void ending_next_card();
