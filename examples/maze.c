/* maze.c: walk a player through a maze with the arrow keys.
 *
 * Each press of an arrow key moves the player one cell, unless a wall is in the way; holding
 * the key down repeats the move (the repeated key events have event.repeat set). Reaching the
 * green cell wins. Escape, Ctrl+Q or closing the window ends the program. Every move is
 * printed on the console, so a recorded script can be checked against it.
 */
#include <vorna.h>

#define COLUMNS 17
#define ROWS 13
#define CELL 30

static const char *const MAZE[ROWS] = {
    "#################",
    "#S  #     #     #",
    "# # # ### # ### #",
    "# #   #   #   # #",
    "# ##### ##### # #",
    "#     #     # # #",
    "##### # ### # # #",
    "#   # #   #   # #",
    "# # # ### ##### #",
    "# #   #   #     #",
    "# ##### ### ### #",
    "#         #    G#",
    "#################",
};

/* The logical point of a cell's top-left corner: the maze is centred in the window. */
static int cell_left(int column) { return -(COLUMNS * CELL) / 2 + column * CELL; }
static int cell_top(int row) { return (ROWS * CELL) / 2 - row * CELL; }

static void draw_maze(int player_column, int player_row, int moves) {
    int row, column;
    VORNA_clear();
    for (row = 0; row < ROWS; row++) {
        for (column = 0; column < COLUMNS; column++) {
            int color = MAZE[row][column] == '#' ? COLOR_NAVY_BLUE : MAZE[row][column] == 'G' ? COLOR_GREEN : -1;
            if (color >= 0)
                VORNA_draw_rectangle(color, cell_left(column), cell_top(row), cell_left(column) + CELL - 1,
                                     cell_top(row) - CELL + 1, 0);
        }
    }
    VORNA_fill_circle(COLOR_RED, cell_left(player_column) + CELL / 2, cell_top(player_row) - CELL / 2, CELL / 3);
    VORNA_printf_at(COLOR_BLACK, -250, -215, 16, "Moves: %d   Arrow keys move, Escape ends", moves);
}

int graphical_main(PlatformInstance instance, PlatformInstance previous_instance, char *command_line,
                   int show_mode) {
    VORNA_Event event;
    int column = 1, row = 1, moves = 0, won = 0;

    VORNA_startup(instance, previous_instance, command_line, show_mode);
    VORNA_set_logging(0);
    draw_maze(column, row, moves);
    VORNA_print("Player at column %d, row %d\n", column, row);

    while (VORNA_wait(&event) != EVENT_QUIT) {
        int to_column = column, to_row = row;
        if (event.kind != EVENT_KEY) continue;
        if (event.key == VORNA_KEY_ESCAPE) break;
        if (won) continue;
        switch (event.key) {
        case VORNA_KEY_LEFT: to_column--; break;
        case VORNA_KEY_RIGHT: to_column++; break;
        case VORNA_KEY_UP: to_row--; break;
        case VORNA_KEY_DOWN: to_row++; break;
        default: continue;
        }
        if (MAZE[to_row][to_column] == '#') continue;
        column = to_column;
        row = to_row;
        moves++;
        draw_maze(column, row, moves);
        VORNA_print("Player at column %d, row %d%s\n", column, row, event.repeat ? " (held)" : "");
        if (MAZE[row][column] == 'G') {
            won = 1;
            VORNA_printf_at(COLOR_RED, -100, 230, 24, "Out in %d moves!", moves);
            VORNA_print("Out of the maze in %d moves\n", moves);
        }
    }
    VORNA_shutdown();
    return 0;
}
