/* A minimal host: two teams of three, everyone walks toward the centre. */
#include <stdio.h>
#include <stdlib.h>

#include <zibber.h>

int main(void) {
    zb_world* world = zb_create(42);
    const int32_t sizes[2] = {3, 3};
    zb_setup(world, sizes, 2, NULL);

    for (int step = 0; step < 300 && !zb_is_over(world); ++step) {
        zb_step(world);
    }

    int32_t n = zb_num_zibbers(world);
    double* zibbers = malloc(sizeof(double) * (size_t)(n * ZB_ZIBBER_WIDTH));
    zb_zibbers(world, zibbers);
    printf("tick %u, arena radius %.3f, %d points, %d obstacles\n", zb_tick(world), zb_map_size(world),
           zb_num_points(world), zb_num_obstacles(world));
    for (int32_t i = 0; i < n; ++i) {
        const double* z = zibbers + i * ZB_ZIBBER_WIDTH;
        printf("zibber %3.0f team %d at (%7.2f, %7.2f) radius %.2f score %3.0f %s\n", z[0], i / 3, z[1], z[2], z[5],
               z[6], z[13] != 0.0 ? "alive" : "burst");
    }
    free(zibbers);
    zb_destroy(world);
    return 0;
}
