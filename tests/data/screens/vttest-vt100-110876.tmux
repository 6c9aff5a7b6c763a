size 80x24 cursor 11 16 0 1






                 *********************************************
                 * The screen background should be blue,     *
                 * with a box made of asterisks and this     *
                 * caption, in orange (non-bold yellow).     *
                 * There should be no cells with the         *
                 * default foreground or background.         *
                 *                                           *
                 *                                           *
                 *                                           *
                 *                                           *
                 *********************************************







