// Progress window layout for the languages whose texts run longest (French, German, Portuguese,
// Russian, Spanish): wider, with room for longer labels.
#define PROGRESS_WIDTH 300
#define PROGRESS_FONT_SIZE 8
#define PROGRESS_FONT "Tahoma"
#define LINE_WIDTH 287
#define STEP_WIDTH 200
#define LABEL_WIDTH 110
#define VALUE_X 136
#define VALUE_WIDTH 88
